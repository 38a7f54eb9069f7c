#include "app/quiet_run.h"

#include <windows.h>

#include <cstdio>

#include "app/engine_library.h"
#include "app/exit_codes.h"
#include "app/host_system.h"
#include "app/unattended_view.h"
#include "app/workflow_host.h"
#include "log/log_save.h"
#include "sysops/command_outcome.h"
#include "sysops/command_runner.h"

namespace {

constexpr wchar_t kWindowClass[] = L"Halden.Quiet";
// Posted to itself, so that the second phase begins from the message loop rather than inside a command.
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

class QuietRun : public UnattendedOutput {
public:
    explicit QuietRun(const Switches &switches)
        : m_system(LoggingRunners()), m_view(*this, switches.noRestart), m_host(m_system, m_view) {}
    int Run();

    void Record(const std::wstring &record) override { WriteProgramRecord(record); }
    unsigned long long NowMs() override { return GetTickCount64(); }
    void End(int exitCode) override { PostQuitMessage(exitCode); }
    void PostSecondRun() override { PostMessageW(m_window, WM_QUIET_BEGIN, 0, 0); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    CHostSystem m_system;
    UnattendedView m_view;
    WorkflowHost m_host;
    HWND m_window = nullptr;
};

int QuietRun::Run() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);  // fails only when registered already, which is as good
    m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    m_system.Ops().SetNobodyAtScreen();
    if (!m_window || !m_system.Attach(m_window)) {
        WriteProgramRecord(L"静默运行 无法创建消息窗口 " + std::to_wstring(GetLastError()));
        return kExitFatal;
    }
    if (!m_system.Ops().IsSupportedSystem()) {
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
    m_host.BindEngine();
    const bool markerFound = m_host.Begin();
    WriteProgramRecord(markerFound ? L"找到卸载完成标记：下载并安装" : L"没有卸载完成标记：卸载");
    m_host.Press();
    MSG message;
    while (!m_view.Ended() && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);

    // The engine first: a callback may be waiting in SendMessage to this thread right now.
    m_host.ReleaseEngine();
    DestroyWindow(m_window);
    return m_view.ExitCode();
}

LRESULT CALLBACK QuietRun::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams));
    }
    auto *self = reinterpret_cast<QuietRun *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    WorkerReport report{};
    if (self && message == WM_QUIET_BEGIN) {
        self->m_host.BeginSecondRun();
        return 1;
    }
    if (self && self->m_system.ReportFromMessage(message, wParam, lParam, report)) {
        if (!self->m_view.Ended()) self->m_host.OnReport(report);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int RunQuietly(const Switches &switches) {
    QuietRun run(switches);
    return run.Run();
}
