#include "app/workflow_host.h"

namespace {

// The one download of a run; the engine takes any id of the caller's choosing.
constexpr int kDownloadTaskId = 1;

// Drive roots and the image's address are printable ASCII (app/admin_settings.h refuses others),
// which widens unchanged.
std::wstring WidenAscii(const std::string &text) { return std::wstring(text.begin(), text.end()); }

// The ending of a run the engine would not take: the input never reached a request.
WorkerReport RefusedStart() {
    return {WorkerReport::Download, SizeQueryFailed, {DownloadOtherFailure, 0, -1, "the engine took no task"}};
}

}  // namespace

void WorkflowHost::BindEngine() {
    if (m_engineBound.load()) return;
    m_imageUrl = m_system.ImageUrl();
    m_imageSha256 = m_system.ImageSha256();
    m_workflow.CheckImageDigest(!m_imageSha256.empty());
    m_engineBound = true;  // before the engine can call back
    m_system.BindEngine(*this);
}

void WorkflowHost::ReleaseEngine() {
    if (!m_engineBound.exchange(false)) return;
    if (m_retry.Waiting() || m_startRefused) {
        m_retry.Stop();
        m_startRefused = false;
        m_system.StopRetryTimer();
    }
    m_system.ReleaseEngine();
    Feed(Event::EngineReleased);
}

void WorkflowHost::NewWorkflow() {
    m_workflow = Workflow();
    m_workflow.CheckImageDigest(!m_imageSha256.empty());
}

bool WorkflowHost::Begin() {
    NewWorkflow();
    const bool found = m_system.MarkerFound();
    Feed(Event::Answer(Event::ChecksPassed, found));
    return found;
}

void WorkflowHost::BeginSecondRun() {
    NewWorkflow();
    Feed(Event::Answer(Event::ChecksPassed, true));
    Press();
}

void WorkflowHost::Press() {
    const Phase before = m_workflow.CurrentPhase();
    if (before == Phase::ReadyToRemove || before == Phase::ReadyToInstall) m_pressed = true;
    Feed(Event::ActionPressed);
}

bool WorkflowHost::AskToClose() {
    bool now = false;
    for (const Command &command : m_workflow.Handle(Event::CloseRequested)) {
        if (command.kind == Command::CloseNow) {
            now = true;
        } else {
            Carry(command);
        }
    }
    // A close ends a retry's wait at once, as it ends the download.
    if (m_retry.Waiting() && m_workflow.CurrentPhase() != Phase::Downloading) {
        m_retry.Stop();
        m_system.StopRetryTimer();
    }
    return now;
}

void WorkflowHost::OnReport(const WorkerReport &report) {
    switch (report.kind) {
    case WorkerReport::CloseWaitBox: Feed(Event::WaitBoxCloseAsked); break;
    case WorkerReport::Uninstall: Feed(static_cast<UninstallEnd>(report.value)); break;
    case WorkerReport::Verify:
        Feed(Event::Answer(Event::Verified, static_cast<VerifyEnd>(report.value) == VerifyEnd::Matches,
                           m_system.VerifyRecord()));
        break;
    case WorkerReport::Mount: Feed({static_cast<MountEnd>(report.value), m_system.MountRecord()}); break;
    case WorkerReport::Install: InstallEnded(static_cast<InstallEnd>(report.value)); break;
    case WorkerReport::Download: DownloadEnded(report); break;
    case WorkerReport::RetryTick: RetryTick(); break;
    }
}

void WorkflowHost::DownloadEnded(const WorkerReport &report) {
    // An ending answered while the engine is let go belongs to no attempt any more.
    if (!m_engineBound.load()) return;
    const DownloadEnding ending = EndingOf(report.value);
    if (ending == DownloadEnding::Unknown) return;
    const bool failed = ending != DownloadEnding::Complete && ending != DownloadEnding::Aborted;
    if (failed && m_workflow.CurrentPhase() == Phase::Downloading && RetryLater(report)) return;
    m_view.DownloadEnded(report.value, ending == DownloadEnding::Complete);
    Feed(Event::Ended(report.value, report.failure));
}

bool WorkflowHost::RetryLater(const WorkerReport &report) {
    // A run that started the file again from nothing brought all it holds.
    const long long size = m_system.ImageBytes();
    const long long arrived = size >= m_runStartBytes ? size - m_runStartBytes : size;
    if (!m_retry.AfterFailure(report.failure, arrived, m_system.NowMs())) return false;
    if (!m_system.StartRetryTimer()) {
        // Without a clock to wait on, the failure stands.
        m_retry.Stop();
        return false;
    }
    m_system.Log(m_retry.Record(report.value, report.failure));
    m_view.RetryCountdown(m_retry.WaitText());
    return true;
}

void WorkflowHost::RetryTick() {
    if (m_startRefused) {
        m_startRefused = false;
        m_system.StopRetryTimer();
        if (m_workflow.CurrentPhase() == Phase::Downloading) DownloadEnded(RefusedStart());
        return;
    }
    if (!m_retry.Waiting() || !m_engineBound.load() || m_workflow.CurrentPhase() != Phase::Downloading) {
        // A tick left over from a wait that a close ended.
        m_retry.Stop();
        m_system.StopRetryTimer();
        return;
    }
    if (!m_retry.Tick()) {
        m_view.RetryCountdown(m_retry.WaitText());
        return;
    }
    m_system.StopRetryTimer();
    m_view.RetryCountdown({});
    StartRun();
}

void WorkflowHost::StartRun() {
    // The engine resumes the file; its validators refuse one the server has changed meanwhile.
    m_runStartBytes = m_system.ImageBytes();
    if (m_runStartBytes < 0) m_runStartBytes = 0;
    if (m_system.StartDownload(kDownloadTaskId, m_imageUrl, m_imagePath)) return;
    // No ending will come of it, so the host makes one. It arrives a tick later, as the engine's
    // would: the commands after the start (the wait box) are carried out first.
    if (m_system.StartRetryTimer()) {
        m_startRefused = true;
    } else {
        DownloadEnded(RefusedStart());
    }
}

void WorkflowHost::InstallEnded(InstallEnd end) {
    if (end == InstallEnd::DismountFailed) m_dismountFailed = true;
    const bool setupRan =
        end == InstallEnd::Finished || end == InstallEnd::NotInstalled || end == InstallEnd::FinishedRestartNeeded;
    if (setupRan && m_workflow.CurrentPhase() == Phase::Installing) {
        // Dismounted, the image has served: it goes now, before the prompt. Still attached, it stays.
        std::wstring detail;
        const bool deleted = !m_dismountFailed && m_system.DeleteImage(detail);
        if (!m_dismountFailed && !deleted) m_system.Log(L"镜像文件未删除 " + detail);
        m_view.Tell(L"清理 已结束 Click-to-Run 进程, 镜像文件 " + m_imagePath + (deleted ? L" 已删除" : L" 仍在"));
    }
    if (end == InstallEnd::NotInstalled || end == InstallEnd::FinishedRestartNeeded) {
        m_system.Log(m_system.InstallRecord());
        m_view.SetupExited(m_system.SetupExitCode());
        // Cleaned up after as an installation, reported as the failure it is.
        if (end == InstallEnd::NotInstalled) end = InstallEnd::SetupFailed;
    }
    Feed(end);
}

void WorkflowHost::EngineProgress(const char *speedText, int percent) {
    if (!m_engineBound.load()) return;
    // A new run may begin lower than the last one ended (the engine counts afresh until it knows
    // the size); the percentage shown never goes back.
    int shown = m_shownPercent.load();
    while (percent > shown && !m_shownPercent.compare_exchange_weak(shown, percent)) {
    }
    m_view.Progress(speedText, percent > shown ? percent : shown);
}

void WorkflowHost::EngineEnded(int endCode, const EngineFailure &failure) {
    if (!m_engineBound.load() || EndingOf(endCode) == DownloadEnding::Unknown) return;
    m_system.PassEnding(endCode, failure);
}

void WorkflowHost::Feed(const Event &event) {
    ++m_feeding;
    for (const Command &command : m_workflow.Handle(event)) Carry(command);
    // Only once every command of the outermost event is carried out: the workflow is back at ready
    // before its last prompt is shown.
    if (--m_feeding > 0) return;
    const Phase phase = m_workflow.CurrentPhase();
    if (m_pressed && (phase == Phase::ReadyToRemove || phase == Phase::ReadyToInstall)) {
        m_pressed = false;
        m_view.Settled();
    }
}

void WorkflowHost::Carry(const Command &command) {
    switch (command.kind) {
    case Command::ShowPrompt: m_view.ShowPrompt(command.outcome); break;
    case Command::Log: m_system.Log(command.text); break;
    case Command::AskRestart: {
        const RestartAnswer answer = m_view.AskRestart(m_system.OfficeWasThere());
        if (answer == RestartAnswer::NotNeeded) {
            m_pressed = false;  // the view goes on with the second run; this work is not over
            break;
        }
        Feed(Event::Answer(Event::RestartAnswered, answer == RestartAnswer::Yes));
        break;
    }
    case Command::RecordRestartFeedback: m_view.RestartChosen(); break;
    case Command::Restart: {
        int error = 0;
        if (m_system.Restart(error)) {
            m_view.RestartStarted();
        } else {
            Feed(Event::Code(Event::RestartFailed, error));
        }
        break;
    }
    case Command::NewWaitBox: m_view.NewWaitBox(command.text); break;
    case Command::RunWaitBox: m_view.RunWaitBox(); break;
    case Command::SetWaitText: m_view.SetWaitText(command.text); break;
    case Command::CloseWaitBox: m_view.CloseWaitBox(); break;
    case Command::ShowProgress:
        m_shownPercent = 0;
        m_view.ShowProgress(true);
        break;
    case Command::HideProgress: m_view.ShowProgress(false); break;
    case Command::ChooseDrive: {
        const std::string root = m_system.ChooseDrive();
        m_view.Tell(root.empty() ? std::wstring(L"没有可用空间 10GB 以上的磁盘") : L"下载到磁盘 " + WidenAscii(root));
        Feed(Event::Drive(root));
        break;
    }
    case Command::MakeImageFolder: {
        std::wstring folder;
        m_imagePath = m_system.MakeImageFolder(command.root, folder);
        Feed(Event::Answer(Event::ImageFolderMade, !m_imagePath.empty(), folder));
        break;
    }
    case Command::MakeImageFile: {
        std::wstring detail;
        const ImageFileResult made = m_system.MakeImageFile(m_imagePath, detail);
        if (made == ImageFileResult::Resumed) m_view.Tell(L"继续上次未完成的下载 " + detail);
        Feed({made, detail});
        break;
    }
    case Command::StartDownload:
        m_view.Tell(L"下载 " + WithoutUserInfo(WidenAscii(m_imageUrl)) + L" 到 " + m_imagePath);
        m_retry.Begin(m_system.NowMs());
        StartRun();
        break;
    case Command::DeleteMarker: m_system.DeleteMarker(); break;
    case Command::DeleteImage: {
        std::wstring detail;
        const bool deleted = m_system.DeleteImage(detail);
        Feed(Event::Answer(Event::ImageDeleted, deleted, detail));
        break;
    }
    case Command::StartRemoval: Feed(Event::Answer(Event::WorkerStarted, m_system.StartRemoval())); break;
    case Command::StartVerify: Feed(Event::Answer(Event::WorkerStarted, m_system.StartVerify(m_imageSha256))); break;
    case Command::StartMount: Feed(Event::Answer(Event::WorkerStarted, m_system.StartMount())); break;
    case Command::StartInstall:
        m_view.Tell(m_system.MountRecord());
        m_dismountFailed = false;
        Feed(Event::Answer(Event::WorkerStarted, m_system.StartInstall()));
        break;
    case Command::RepeatClose: m_view.RepeatClose(); break;
    case Command::CloseNow: break;  // only AskToClose, which asked, acts on it
    }
}
