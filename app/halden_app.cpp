#include "app/halden_app.h"

#include "app/admin_settings.h"
#include "app/halden_dlg.h"
#include "app/single_copy.h"
#include "sysops/library_search.h"
#include "winui/application.h"

bool CHaldenApp::InitInstance() {
    // Libraries loaded by name come from the system folder only, never from the current folder,
    // where anything may lie; the feedback library is loaded by its full path.
    HardenLibrarySearch();  // false only on a system without the call, which is refused below

    // Before anything reads the environment: it is the user's, and this program runs as administrator.
    ApplyAdministratorSettings();

    ScopedHandle claim;
    if (!ClaimSingleCopy(claim)) return false;

    // Restart support only: the system may start the tool again after an update restart or a crash.
    RegisterApplicationRestart(nullptr, 0);  // a refusal changes nothing for this run

    winui::Application application;  // GDI+ and the common controls, for the life of the dialog
    if (!application.Ok()) return false;
    CHaldenDlg dialog;
    dialog.DoModal();
    return false;
}
