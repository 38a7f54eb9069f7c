#include "app/halden_app.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/admin_settings.h"
#include "app/command_line.h"
#include "app/exit_codes.h"
#include "app/halden_dlg.h"
#include "app/quiet_run.h"
#include "app/single_copy.h"
#include "log/log_save.h"
#include "skin/paint.h"
#include "skin/prompt_dlg.h"
#include "sysops/library_search.h"
#include "winui/application.h"

namespace {

std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR *list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list) return arguments;
    for (int index = 1; index < count; ++index) arguments.emplace_back(list[index]);
    LocalFree(list);
    return arguments;
}

int Quit(int code) {
    WriteProgramRecord(L"静默运行结束 退出码 " + std::to_wstring(code));
    return code;
}

}  // namespace

int CHaldenApp::InitInstance() {
    // Libraries loaded by name come from the system folder only, never from the current folder,
    // where anything may lie; the feedback library is loaded by its full path.
    HardenLibrarySearch();  // false only on a system without the call, which is refused below

    // Before anything reads the environment: it is the user's, and this program runs as administrator.
    ApplyAdministratorSettings();

    Switches switches = ParseSwitches(CommandLineArguments());
    // A quiet run claims its place before it makes anything: the /log file of a copy already running
    // is that copy's, and a distribution tool retries 1618 where it gives up on anything else.
    ScopedHandle claim;
    if (switches.quiet && !switches.usage && !ClaimSingleCopy(claim, false)) {
        WriteProgramRecord(L"另一个副本正在运行");
        return Quit(kExitAnotherCopy);
    }
    // Made even for a command line with faults, so that the record of the fault reaches it.
    if (!switches.logFile.empty() && !CopyProgramRecordsTo(switches.logFile) && switches.error.empty()) {
        switches.error = L"无法创建日志文件 " + switches.logFile + L" " + std::to_wstring(GetLastError());
    }
    if (switches.quiet) {
        WriteProgramRecord(L"静默运行开始 命令行 " + WithoutUserInfo(GetCommandLineW()));
        if (!switches.error.empty()) {
            WriteProgramRecord(switches.error);
            WriteProgramRecord(kUsageText);
            return Quit(kExitBadSwitch);
        }
        if (switches.usage) {
            WriteProgramRecord(kUsageText);
            return Quit(kExitSuccess);
        }
        SetCommandLineImageUrl(switches.sourceUrl);
        // No restart registration: after a restart the distribution tool decides what runs again.
        return Quit(RunQuietly(switches));
    }

    winui::Application application;  // GDI+ and the common controls, for the life of the dialog
    if (!application.Ok()) return kExitFatal;
    if (!switches.error.empty() || switches.usage) {
        if (!switches.error.empty()) WriteProgramRecord(switches.error);
        CPromptDlg prompt;
        prompt.m_fScale = skin::DisplayScale();
        // The prompt has room for one line of the fault (a long address is cut); the log has it whole.
        std::wstring fault = switches.error.size() > 40 ? switches.error.substr(0, 39) + L"…" : switches.error;
        prompt.SetText(fault.empty() ? std::wstring(kUsageText) : fault + L"\n" + kUsageText);
        prompt.SetMode(skin::ConfirmOnly);
        prompt.DoModal();
        return switches.error.empty() ? kExitSuccess : kExitBadSwitch;
    }

    if (!ClaimSingleCopy(claim)) return kExitSuccess;
    SetCommandLineImageUrl(switches.sourceUrl);

    // Restart support only: the system may start the tool again after an update restart or a crash.
    RegisterApplicationRestart(nullptr, 0);  // a refusal changes nothing for this run

    CHaldenDlg dialog;
    dialog.DoModal();
    return kExitSuccess;
}
