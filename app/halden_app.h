#pragma once
// The application object: prepares the process (library search, GDI+, common controls) and runs
// the main window modally. The process ends when it returns.
class CHaldenApp {
public:
    // Always false: there is no message loop of the application's own after the main window.
    bool InitInstance();
};
