#include "app/halden_app.h"

#include "app/halden_dlg.h"
#include "winui/application.h"

bool CHaldenApp::InitInstance() {
    // Libraries loaded at run time come from the program's and the system's folders only, never
    // from the current folder, where anything may lie.
    SetDllDirectoryW(L"");
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);

    // Restart support only: the system may start the tool again after an update restart or a crash.
    RegisterApplicationRestart(nullptr, 0);  // a refusal changes nothing for this run

    winui::Application application;  // GDI+ and the common controls, for the life of the dialog
    if (!application.Ok()) return false;
    CHaldenDlg dialog;
    dialog.DoModal();
    return false;
}
