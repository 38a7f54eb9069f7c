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
#include "app/workflow_text.h"
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

// A prompt before the main window: one line of the fault (a long one is cut; the log has it whole)
// above the text, either of which may be absent.
void ShowStartPrompt(const std::wstring &fault, const wchar_t *text) {
    CPromptDlg prompt;
    prompt.m_fScale = skin::DisplayScale();
    const std::wstring line = fault.size() > 40 ? fault.substr(0, 39) + L"…" : fault;
    const std::wstring body = text ? std::wstring(text) : std::wstring();
    prompt.SetText(line.empty() ? body : body.empty() ? line : line + L"\n" + body);
    prompt.SetMode(skin::ConfirmOnly);
    prompt.DoModal();
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
    ScopedHandle quietMark;
    if (switches.quiet && !switches.usage) {
        MarkQuietCopy(quietMark);
        if (!ClaimSingleCopy(claim, false)) {
            WriteProgramRecord(L"另一个副本正在运行");
            return Quit(kExitAnotherCopy);
        }
    }
    // The /log file, or the record in the program's own log of why there is none.
    const auto makeLog = [&switches] {
        if (switches.logFile.empty() || CopyProgramRecordsTo(switches.logFile)) return true;
        const DWORD error = GetLastError();
        WriteProgramRecord(L"无法创建日志文件 " + switches.logFile + L" " + std::to_wstring(error));
        return false;
    };
    if (switches.quiet) {
        // Made even for a command line with faults, so that the record of the fault reaches it.
        const bool logged = makeLog();
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
        // Nothing has changed yet: a run the administrator cannot read afterwards does not begin.
        if (!logged) return Quit(kExitLogFailed);
        SetCommandLineImageUrl(switches.sourceUrl);
        SetCommandLineImageSha256(switches.imageSha256);
        // No restart registration: after a restart the distribution tool decides what runs again.
        return Quit(RunQuietly(switches));
    }

    winui::Application application;  // GDI+ and the common controls, for the life of the dialog
    if (!application.Ok()) return kExitFatal;
    if (!switches.error.empty() || switches.usage) {
        makeLog();
        if (!switches.error.empty()) WriteProgramRecord(switches.error);
        ShowStartPrompt(switches.error, kUsageText);
        return switches.error.empty() ? kExitSuccess : kExitBadSwitch;
    }

    if (!ClaimSingleCopy(claim)) {
        // A copy without windows has nothing to bring forward: the person is told why nothing opens.
        if (QuietCopyRunning()) ShowStartPrompt({}, kQuietCopyRunning);
        return kExitSuccess;
    }
    if (!makeLog()) {
        ShowStartPrompt(L"无法创建日志文件 " + switches.logFile, nullptr);
        return kExitLogFailed;
    }
    SetCommandLineImageUrl(switches.sourceUrl);
    SetCommandLineImageSha256(switches.imageSha256);

    // Restart support only: the system may start the tool again after an update restart or a crash.
    RegisterApplicationRestart(nullptr, 0);  // a refusal changes nothing for this run

    CHaldenDlg dialog;
    dialog.DoModal();
    return kExitSuccess;
}
