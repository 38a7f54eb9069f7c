#include "app/unattended_view.h"

#include <cwchar>

#include "app/exit_codes.h"

void UnattendedView::End(int code) {
    if (m_ended) return;
    m_ended = true;
    m_exitCode = code;
    m_output.End(code);
}

void UnattendedView::ShowPrompt(Outcome outcome) {
    switch (outcome) {
    case Outcome::InstallFailed: m_lastCode = InstallFailedExitCode(m_setupCode); break;
    // The setup's own word on the restart (it may have begun one) reaches the distribution tool.
    case Outcome::InstalledRestartNeeded:
        m_lastCode = m_setupCode == kExitRestartStarted ? kExitRestartStarted : kExitRestartRequired;
        break;
    default: m_lastCode = ExitCodeFor(outcome); break;
    }
    m_output.Record(std::wstring(L"提示 ") + PromptText(outcome));
}

RestartAnswer UnattendedView::AskRestart(bool officeWasThere) {
    if (!officeWasThere) {
        // Nothing was installed, so nothing waits for a restart: the second phase follows now.
        m_output.Record(L"卸载前没有 Office，不需要重启，继续下载并安装");
        m_output.PostSecondRun();
        return RestartAnswer::NotNeeded;
    }
    if (!m_noRestart) return RestartAnswer::Yes;
    m_output.Record(L"卸载成功，需要重启 (/norestart)");
    m_lastCode = kExitRestartRequired;
    return RestartAnswer::No;
}

void UnattendedView::RestartStarted() {
    // The distribution tool must read the code before the system ends this process.
    m_output.Record(L"已开始重启电脑 退出码 " + std::to_wstring(kExitRestartStarted));
    End(kExitRestartStarted);
}

void UnattendedView::ShowProgress(bool shown) {
    if (!shown) return;
    m_downloadStart = m_output.NowMs();
    m_loggedTenth = -1;
}

void UnattendedView::Progress(const char *, int percent) {
    // One record for each tenth, however seldom the engine reports: a report that passes several
    // brings a record for each, so the log reads the same for a fast and a slow download.
    const int tenth = percent / 10;
    int logged = m_loggedTenth.load();
    while (tenth > logged) {
        if (m_loggedTenth.compare_exchange_weak(logged, tenth)) {
            for (int next = logged + 1; next <= tenth; ++next) {
                m_output.Record(L"下载进度 " + std::to_wstring(next * 10) + L" %");
            }
            break;
        }
    }
}

void UnattendedView::DownloadEnded(int endCode, bool complete) {
    // The engine's last report may come before the last bytes; a complete image is 100 %.
    if (complete) Progress(nullptr, 100);
    wchar_t seconds[32];
    std::swprintf(seconds, 32, L"%.1f s", static_cast<double>(m_output.NowMs() - m_downloadStart) / 1000.0);
    m_output.Record(L"下载结束 " + std::to_wstring(endCode) + L" 用时 " + seconds);
}
