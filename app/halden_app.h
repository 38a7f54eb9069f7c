#pragma once
// The application object: prepares the process (library search, settings, switches, one copy at a
// time) and runs either the main window modally or, with /quiet, the workflow without windows.
class CHaldenApp {
public:
    // The process's exit code: the quiet run's (app/exit_codes.h); 0 after the window, 87 after
    // the usage shown for a bad command line.
    int InitInstance();
};
