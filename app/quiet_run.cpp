#include "app/quiet_run.h"

#include <windows.h>

#include <io.h>

#include <atomic>
#include <cstdio>

#include "app/admin_settings.h"
#include "app/engine_library.h"
#include "app/exit_codes.h"
#include "app/image_steps.h"
#include "app/sent_message_pump.h"
#include "app/image_source.h"
#include "app/workflow.h"
#include "app/workflow_text.h"
#include "dravlin.h"
#include "log/gbk_text.h"
#include "log/log_save.h"
#include "sysops/command_runner.h"
#include "sysops/private_messages.h"
#include "sysops/system_ops.h"
#include "sysops/uninstall_marker.h"
#include "sysops/click_to_run.h"

namespace {

constexpr int kDownloadTaskId = 1;
constexpr int kDownloadReserved = 248000;  // the fourth argument of DownloadFile; unused by the engine
constexpr wchar_t kWindowClass[] = L"Halden.Quiet";
// Posted to itself, so that each phase begins from the message loop rather than inside a command.
constexpr UINT WM_QUIET_BEGIN = WM_APP + 1;

std::wstring Seconds(ULONGLONG startedAt) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f s", static_cast<double>(GetTickCount64() - startedAt) / 1000.0);
    return text;
}

// Every command the workers run, with how it ended and how long it took.
CommandRunners LoggingRunners() {
    CommandRunners runners;
    runners.run = [](std::wstring command, bool show, DWORD limitMs) {
        const ULONGLONG start = GetTickCount64();
        const CommandOutcome outcome = RunCommandOutcome(command, show, limitMs);
        WriteProgramRecord(L"命令 " + command + L" 退出码 " + OutcomeText(outcome) + L" 用时 " + Seconds(start));
        return outcome.end == CommandEnd::Exited ? 1 : 0;
    };
    runners.capture = [](std::wstring command, std::wstring &output, DWORD limitMs) {
        const ULONGLONG start = GetTickCount64();
        const int ran = RunCommandCapture(command, output, limitMs);
        // The capturing runner tells only whether the command ran to its end in time.
        WriteProgramRecord(L"命令 " + command + (ran ? L" 已结束" : L" 未启动或超时") + L" 用时 " + Seconds(start));
        return ran;
    };
    runners.runHidden = [](std::wstring command, DWORD limitMs) {
        const ULONGLONG start = GetTickCount64();
        const CommandOutcome outcome = RunCommandOutcome(command, false, limitMs);
        WriteProgramRecord(L"命令 " + command + L" 退出码 " + OutcomeText(outcome) + L" 用时 " + Seconds(start));
        return outcome;
    };
    runners.runProgram = [](std::wstring program, std::wstring arguments, DWORD limitMs) {
        const ULONGLONG start = GetTickCount64();
        const CommandOutcome outcome = RunProgram(program, arguments, limitMs);
        WriteProgramRecord(L"命令 \"" + program + L"\" " + arguments + L" 退出码 " + OutcomeText(outcome) + L" 用时 " +
                           Seconds(start));
        return outcome;
    };
    return runners;
}

class QuietRun {
public:
    explicit QuietRun(const Switches &switches) : m_switches(switches), m_sysOps(LoggingRunners()) {}
    int Run();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Begin(bool markerFound);
    void Feed(const Event &event);
    void Carry(const Command &command);
    void End(int code);
    static void __cdecl OnDownloadProgress(int taskId, const char *speedText, int percent, void *userData);
    static void __cdecl OnDownloadEnded(int taskId, int endCode, void *userData);

    const Switches &m_switches;
    CSystemOps m_sysOps;
    Workflow m_workflow;
    HWND m_window = nullptr;
    std::atomic<HWND> m_reportTarget{nullptr};
    std::string m_imageUrl;
    std::wstring m_markerPath;
    bool m_pressed = false;  // the action was given in this phase: back at ready, the phase is over
    bool m_ended = false;
    int m_exitCode = kExitFatal;
    int m_promptCode = kExitFatal;  // the code of the last prompt the workflow asked for
    std::atomic<int> m_loggedTenth{-1};
    ULONGLONG m_downloadStart = 0;
};

int QuietRun::Run() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);  // fails only when registered already, which is as good
    m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    m_sysOps.SetNobodyAtScreen();
    if (!m_window || !m_sysOps.Attach(m_window)) {
        WriteProgramRecord(L"静默运行 无法创建消息窗口 " + std::to_wstring(GetLastError()));
        return kExitFatal;
    }
    if (!m_sysOps.IsSupportedSystem()) {
        WriteProgramRecord(L"此工具不支持当前系统");
        DestroyWindow(m_window);
        return kExitUnsupportedSystem;
    }
    std::wstring failure;
    if (!LoadDownloadEngine(failure)) {
        WriteProgramRecord(L"加载下载组件失败 " + failure);
        DestroyWindow(m_window);
        return kExitFatal;
    }
    m_markerPath = UninstallMarkerPath();
    m_imageUrl = ChosenImageUrl();
    InvalidCurl();  // a failure shows later as a download that cannot start
    m_reportTarget = m_window;
    SetDownloadDriverFileCallback(OnDownloadProgress, this);
    SetDownloadDriverFileErrorCallback(OnDownloadEnded, this);

    const bool markerFound = _waccess(m_markerPath.c_str(), 0) != -1;
    WriteProgramRecord(markerFound ? L"找到卸载完成标记：下载并安装" : L"没有卸载完成标记：卸载");
    PostMessageW(m_window, WM_QUIET_BEGIN, markerFound ? 1 : 0, 0);
    MSG message;
    while (!m_ended && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);

    // The engine first: a callback may be waiting in SendMessage to this thread right now.
    m_reportTarget = nullptr;
    CallAnsweringSentMessages(ReleaseCurl);
    DestroyWindow(m_window);
    return m_exitCode;
}

LRESULT CALLBACK QuietRun::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams));
    }
    auto *self = reinterpret_cast<QuietRun *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->OnMessage(message, wParam, lParam)) return 1;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool QuietRun::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUIET_BEGIN: Begin(wParam != 0); break;
    case WM_CLOSE_EXECUTE_PROMPT: Feed({Event::WaitBoxCloseAsked}); break;
    case WM_UNINSTALL_RESULT: Feed({Event::UninstallResult, static_cast<int>(wParam)}); break;
    case WM_MOUNT_RESULT: Feed({Event::MountEnded, static_cast<int>(wParam), {}, m_sysOps.MountRecord()}); break;
    case WM_INSTALL_RESULT:
        if (wParam == kInstallFinished) {
            const std::wstring &image = m_sysOps.Image().Path();
            WriteProgramRecord(L"清理 已结束 Click-to-Run 进程, 镜像文件 " + image +
                               (GetFileAttributesW(image.c_str()) == INVALID_FILE_ATTRIBUTES ? L" 已删除" : L" 仍在"));
        }
        Feed({Event::InstallResult, static_cast<int>(wParam)});
        break;
    case WM_DOWNLOAD_RESULT:
        if (m_reportTarget.load() == nullptr) break;
        // The engine's last report may come before the last bytes; a complete image is 100 %.
        if (wParam == 1) OnDownloadProgress(kDownloadTaskId, nullptr, 100, this);
        WriteProgramRecord(L"下载结束 " + std::to_wstring(static_cast<int>(lParam)) + L" 用时 " + Seconds(m_downloadStart));
        Feed({Event::DownloadEnded, static_cast<int>(lParam)});
        break;
    default: return false;
    }
    // Back at ready after the action: the phase has ended with its last prompt.
    const Phase phase = m_workflow.CurrentPhase();
    if (!m_ended && m_pressed && (phase == Phase::ReadyToRemove || phase == Phase::ReadyToInstall)) End(m_promptCode);
    return true;
}

void QuietRun::Begin(bool markerFound) {
    // A new machine for each phase, as a new start of the window would have.
    m_workflow = Workflow();
    m_pressed = false;
    Feed({Event::ChecksPassed, markerFound ? 1 : 0});
    m_pressed = true;
    Feed({Event::ActionPressed});
}

void QuietRun::Feed(const Event &event) {
    for (const Command &command : m_workflow.Handle(event)) {
        if (m_ended) return;
        Carry(command);
    }
}

void QuietRun::End(int code) {
    if (m_ended) return;
    m_ended = true;
    m_exitCode = code;
    PostQuitMessage(code);
}

void QuietRun::Carry(const Command &command) {
    switch (command.kind) {
    case Command::ShowPrompt:
        m_promptCode = ExitCodeForPrompt(command.text);
        WriteProgramRecord(L"提示 " + command.text);
        break;
    case Command::Log: WriteProgramRecord(command.text); break;
    case Command::AskRestart:
        if (!m_sysOps.FoundOfficeBefore()) {
            // Nothing was installed, so nothing waits for a restart: the second phase follows now.
            WriteProgramRecord(L"卸载前没有 Office，不需要重启，继续下载并安装");
            PostMessageW(m_window, WM_QUIET_BEGIN, 1, 0);
            m_pressed = false;
            break;
        }
        if (m_switches.noRestart) {
            WriteProgramRecord(L"卸载成功，需要重启 (/norestart)");
            m_promptCode = kExitRestartRequired;
            Feed({Event::RestartAnswered, 0});
            break;
        }
        Feed({Event::RestartAnswered, 1});
        break;
    case Command::RecordRestartFeedback: break;  // the feedback library is not loaded without windows
    case Command::Restart:
        if (!m_sysOps.RestartComputer()) {
            Feed({Event::RestartFailed, static_cast<int>(GetLastError())});
            break;
        }
        // The distribution tool must read the code before the system ends this process.
        WriteProgramRecord(L"已开始重启电脑 退出码 " + std::to_wstring(kExitRestartStarted));
        End(kExitRestartStarted);
        break;
    case Command::NewWaitBox:
    case Command::SetWaitText: WriteProgramRecord(command.text); break;
    case Command::RunWaitBox:
    case Command::CloseWaitBox:
    case Command::ShowProgress:
    case Command::HideProgress:
    case Command::RepeatClose:
    case Command::CloseNow: break;
    case Command::ChooseDrive: {
        const std::string root = ChooseImageDrive();
        WriteProgramRecord(root.empty() ? std::wstring(L"没有可用空间 10GB 以上的磁盘") : L"下载到磁盘 " + WideFromAnsi(root));
        Feed({Event::DriveChosen, 0, root});
        break;
    }
    case Command::MakeImageFolder:
        Feed({Event::ImageFolderMade, 0, PrepareImageFolder(command.path), WideFromAnsi(ImageFolderOnRoot(command.path, 0))});
        break;
    case Command::MakeImageFile: Feed(StartNewImageFile(m_sysOps.Image(), command.path)); break;
    case Command::StartDownload:
        WriteProgramRecord(L"下载 " + WideFromAnsi(m_imageUrl) + L" 到 " + WideFromAnsi(command.path));
        m_downloadStart = GetTickCount64();
        m_loggedTenth = -1;
        DownloadFile(kDownloadTaskId, m_imageUrl.c_str(), command.path.c_str(), kDownloadReserved);
        break;
    case Command::DeleteMarker: DeleteFileW(m_markerPath.c_str()); break;
    case Command::DeleteImage: {
        Event deleted{Event::ImageDeleted, 1};
        if (!m_sysOps.Image().Delete(deleted.text)) deleted.value = 0;
        Feed(deleted);
        break;
    }
    case Command::StartRemoval: Feed({Event::WorkerStarted, m_sysOps.StartRemoveOffice() ? 1 : 0}); break;
    case Command::StartMount: Feed({Event::WorkerStarted, m_sysOps.StartMountImage() ? 1 : 0}); break;
    case Command::StartInstall:
        WriteProgramRecord(m_sysOps.MountRecord());
        Feed({Event::WorkerStarted, m_sysOps.StartInstallFromMount() ? 1 : 0});
        break;
    }
}

void __cdecl QuietRun::OnDownloadProgress(int, const char *, int percent, void *userData) {
    auto *self = static_cast<QuietRun *>(userData);
    if (!self || !self->m_reportTarget.load()) return;
    // One record for each tenth, however seldom the engine reports: a report that passes several
    // brings a record for each, so the log reads the same for a fast and a slow download.
    const int tenth = percent / 10;
    int logged = self->m_loggedTenth.load();
    while (tenth > logged) {
        if (self->m_loggedTenth.compare_exchange_weak(logged, tenth)) {
            for (int next = logged + 1; next <= tenth; ++next) WriteProgramRecord(L"下载进度 " + std::to_wstring(next * 10) + L" %");
            break;
        }
    }
}

void __cdecl QuietRun::OnDownloadEnded(int, int endCode, void *userData) {
    auto *self = static_cast<QuietRun *>(userData);
    if (!self) return;
    HWND window = self->m_reportTarget.load();
    const unsigned result = DownloadResultFor(endCode);
    if (result == 0 || !window) return;
    SendMessageW(window, WM_DOWNLOAD_RESULT, result, static_cast<LPARAM>(endCode));
}

}  // namespace

int RunQuietly(const Switches &switches) {
    QuietRun run(switches);
    return run.Run();
}
