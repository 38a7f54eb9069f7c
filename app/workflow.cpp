#include "app/workflow.h"


namespace {

Command Do(Command::Kind kind) { return Command{kind, {}, {}}; }
Command Say(Command::Kind kind, std::wstring text) { return Command{kind, std::move(text), {}}; }
Command On(Command::Kind kind, std::string root) { return Command{kind, {}, std::move(root)}; }
Command Prompt(Outcome outcome) { return Command{Command::ShowPrompt, {}, {}, outcome}; }

// A file the download can go into: a new one, or the partial one an earlier run left.
bool IsUsable(ImageFileResult file) { return file == ImageFileResult::Ready || file == ImageFileResult::Resumed; }

// A run ended by the way there (after the retries gave up): the bytes that arrived are sound.
bool NetworkSpoiledOnly(const EngineFailure &failure) {
    switch (failure.kind) {
    case DownloadHostNotFound:
    case DownloadCannotConnect:
    case DownloadTimedOut:
    case DownloadConnectionBroken:
    case DownloadStalled:
    case DownloadServerError:
    case DownloadTooManyRequests: return true;
    default: return false;
    }
}

constexpr wchar_t kMountFailedRecord[] = L"挂载镜像文件失败";
constexpr wchar_t kNoSetupRecord[] = L"没有找到指定的安装装文件";

// A fixed record, followed by what the system said about it when it said anything.
std::wstring WithDetail(const std::wstring &record, const std::wstring &detail) {
    return detail.empty() ? record : record + L" " + detail;
}

}  // namespace

std::vector<Command> Workflow::Handle(const Event &event) {
    std::vector<Command> commands;
    switch (event.kind) {
    case Event::ChecksPassed:
        if (m_phase != Phase::Checking) break;
        m_markerFound = event.yes;
        m_phase = m_markerFound ? Phase::ReadyToInstall : Phase::ReadyToRemove;
        break;
    case Event::ActionPressed: return OnPress();
    case Event::CloseRequested: return OnClose();

    case Event::DriveChosen:
        if (m_phase != Phase::Preparing) break;
        if (event.root.empty()) {
            // The marker stays: nothing was started.
            commands.push_back(Prompt(Outcome::NoRoom));
            BackToReady(commands);
            break;
        }
        m_driveRoot = event.root;
        commands.push_back(On(Command::MakeImageFolder, m_driveRoot));
        break;
    case Event::ImageFolderMade:
        if (m_phase != Phase::Preparing) break;
        if (!event.yes) {
            commands.push_back(Say(Command::Log, L"无法创建镜像文件夹 " + event.text));
            commands.push_back(Prompt(Outcome::CannotSave));
            BackToReady(commands);
            break;
        }
        m_imageChosen = true;
        commands.push_back(Do(Command::MakeImageFile));
        break;
    case Event::ImageFileMade:
        if (m_phase != Phase::Preparing) break;
        if (IsUsable(event.file) && m_downloadAgain) {
            m_downloadAgain = false;
            m_phase = Phase::Downloading;
            commands = {Do(Command::ShowProgress), Do(Command::StartDownload)};
            break;
        }
        if (m_downloadAgain) {
            // The box of the first download is still up.
            m_downloadAgain = false;
            commands.push_back(Do(Command::CloseWaitBox));
        }
        if (IsUsable(event.file)) {
            // The marker stays until the installation is done: a close, a crash or a restart from
            // here on leads to this second run again, never to a second removal.
            m_phase = Phase::Downloading;
            commands = {Say(Command::NewWaitBox, L"正在下载，请稍等"), Do(Command::ShowProgress),
                        Do(Command::StartDownload), Do(Command::RunWaitBox)};
            break;
        }
        // Nothing starts and the marker stays, for another try once the way is clear.
        if (event.file == ImageFileResult::OldFileStays) {
            commands.push_back(Say(Command::Log, L"旧的镜像文件无法删除 " + event.text));
            commands.push_back(Prompt(Outcome::OldImageStays));
        } else {
            commands.push_back(Say(Command::Log, L"无法创建镜像文件 " + event.text));
            commands.push_back(Prompt(Outcome::CannotSave));
        }
        BackToReady(commands);
        break;

    case Event::WorkerStarted:
        if (event.yes) {
            // The box's loop carries every later message of the work.
            if (m_phase == Phase::Removing) commands.push_back(Do(Command::RunWaitBox));
            break;
        }
        if (m_phase == Phase::Removing) {
            commands = {Do(Command::CloseWaitBox), Prompt(Outcome::RemovalFailed)};
        } else if (m_phase == Phase::Verifying) {
            commands = {Do(Command::CloseWaitBox), Say(Command::Log, L"创建校验线程失败"), Prompt(Outcome::ImageCorrupt)};
        } else if (m_phase == Phase::Mounting) {
            commands = {Do(Command::CloseWaitBox), Prompt(Outcome::MountFailed), Say(Command::Log, kMountFailedRecord)};
        } else if (m_phase == Phase::Installing) {
            commands = {Do(Command::CloseWaitBox), Prompt(Outcome::InstallFailed), Say(Command::Log, L"创建安装线程失败")};
        } else {
            break;
        }
        BackToReady(commands);
        break;
    case Event::WaitBoxCloseAsked:
        if (m_phase == Phase::Removing || m_phase == Phase::Downloading || m_phase == Phase::Mounting ||
            m_phase == Phase::Installing) {
            commands.push_back(Do(Command::CloseWaitBox));
        }
        break;

    case Event::UninstallResult:
        if (m_phase != Phase::Removing) break;
        if (event.uninstall == UninstallEnd::Done) {
            m_phase = Phase::AskRestart;
            commands.push_back(Do(Command::AskRestart));
        } else if (event.uninstall == UninstallEnd::Failed) {
            commands.push_back(Prompt(Outcome::RemovalFailed));
            BackToReady(commands);
        }
        break;
    case Event::RestartAnswered:
        if (m_phase != Phase::AskRestart) break;
        if (!event.yes) {
            // The marker is on disk now, but this run stays a first run: another press removes again.
            BackToReady(commands);
            break;
        }
        m_phase = Phase::Restarting;
        commands = {Do(Command::RecordRestartFeedback), Do(Command::Restart)};
        break;
    case Event::RestartFailed:
        if (m_phase != Phase::Restarting) break;
        commands = {Say(Command::Log, L"重启电脑失败 " + std::to_wstring(event.code)), Prompt(Outcome::RestartRefused)};
        BackToReady(commands);
        break;

    case Event::DownloadEnded: return OnDownloadEnded(event.code, event.failure);
    case Event::Verified: return OnVerified(event.yes, event.text);
    case Event::MountEnded: return OnMountEnded(event.mount, event.text);
    case Event::InstallResult: return OnInstallResult(event.install);
    case Event::ImageDeleted:
        if (!event.yes) commands.push_back(Say(Command::Log, L"镜像文件未删除 " + event.text));
        break;
    case Event::EngineReleased:
        // A download abandoned by the close keeps its partial image and the engine's companion for
        // the next run to resume.
        break;
    }
    return commands;
}

std::vector<Command> Workflow::OnPress() {
    std::vector<Command> commands;
    if (m_phase == Phase::ReadyToRemove) {
        m_phase = Phase::Removing;
        // The box is made before the worker starts, so that a result arriving at once finds it.
        commands = {Say(Command::NewWaitBox, L"正在卸载，请稍等"), Do(Command::StartRemoval)};
    } else if (m_phase == Phase::ReadyToInstall) {
        m_phase = Phase::Preparing;
        m_downloadedAgain = false;
        // A second press in the same run keeps the drive and the folder chosen first.
        if (m_imageChosen) {
            commands.push_back(Do(Command::MakeImageFile));
        } else if (!m_driveRoot.empty()) {
            commands.push_back(On(Command::MakeImageFolder, m_driveRoot));
        } else {
            commands.push_back(Do(Command::ChooseDrive));
        }
    }
    return commands;
}

std::vector<Command> Workflow::OnClose() {
    std::vector<Command> commands;
    switch (m_phase) {
    case Phase::Removing:
    case Phase::AskRestart:
    case Phase::Restarting:
    case Phase::Verifying:
    case Phase::Mounting:
    case Phase::Installing:
        // The work owns the machine's state until it reports; the close follows its last result.
        m_closeAsked = true;
        break;
    case Phase::Downloading:
        // The transfer stops; the close goes on once the please-wait box is down, and the partial
        // image stays for the next run.
        m_phase = Phase::Closing;
        commands = {Do(Command::CloseWaitBox), Do(Command::HideProgress), Do(Command::RepeatClose)};
        break;
    case Phase::Checking:
    case Phase::ReadyToRemove:
    case Phase::ReadyToInstall:
    case Phase::Preparing:
    case Phase::Closing:
        m_phase = Phase::Closing;
        commands.push_back(Do(Command::CloseNow));
        break;
    }
    return commands;
}

std::vector<Command> Workflow::OnDownloadEnded(int endCode, const EngineFailure &failure) {
    std::vector<Command> commands;
    const DownloadEnding ending = EndingOf(endCode);
    if (m_phase != Phase::Downloading || ending == DownloadEnding::Unknown) return commands;
    commands.push_back(Do(Command::HideProgress));
    if (ending == DownloadEnding::Complete) {
        if (m_checkDigest) {
            m_phase = Phase::Verifying;
            commands.push_back(Say(Command::SetWaitText, L"正在校验，请稍等"));
            commands.push_back(Do(Command::StartVerify));
            return commands;
        }
        m_phase = Phase::Mounting;
        commands.push_back(Say(Command::SetWaitText, L"正在安装，请稍等"));
        commands.push_back(Do(Command::StartMount));
        return commands;
    }
    // The remains go first, so that a drive the download filled has room for the record; both come
    // before the prompt, which the person may leave open. What only the network spoiled stays with
    // the engine's note: the next press, in this run or a later one, goes on from there.
    commands.push_back(Do(Command::CloseWaitBox));
    if (!NetworkSpoiledOnly(failure)) commands.push_back(Do(Command::DeleteImage));
    const std::wstring reason = FailureReason(failure);
    commands.push_back(Say(Command::Log, WithDetail(L"下载失败 " + std::to_wstring(endCode), reason)));
    commands.push_back(Prompt(OutcomeOf(ending, failure)));
    BackToReady(commands);
    return commands;
}

std::vector<Command> Workflow::OnVerified(bool matches, const std::wstring &record) {
    std::vector<Command> commands;
    if (m_phase != Phase::Verifying) return commands;
    commands.push_back(Say(Command::Log, record));
    if (m_closeAsked) {
        // Closed while the image was read: nothing more starts, checked or not.
        commands.push_back(Do(Command::CloseWaitBox));
    } else if (matches) {
        m_phase = Phase::Mounting;
        commands.push_back(Say(Command::SetWaitText, L"正在安装，请稍等"));
        commands.push_back(Do(Command::StartMount));
        return commands;
    } else if (!m_downloadedAgain) {
        // Damaged on the way, most likely: once more from nothing, in the same box.
        m_downloadedAgain = true;
        m_downloadAgain = true;
        m_phase = Phase::Preparing;
        commands.push_back(Say(Command::SetWaitText, L"正在下载，请稍等"));
        commands.push_back(Do(Command::DeleteImage));
        commands.push_back(Do(Command::MakeImageFile));
        return commands;
    } else {
        // Twice not the image asked for: it is not installed, and not kept.
        commands.push_back(Do(Command::CloseWaitBox));
        commands.push_back(Do(Command::DeleteImage));
        commands.push_back(Prompt(Outcome::ImageCorrupt));
    }
    BackToReady(commands);
    return commands;
}

std::vector<Command> Workflow::OnMountEnded(MountEnd end, const std::wstring &record) {
    std::vector<Command> commands;
    if (m_phase != Phase::Mounting) return commands;
    switch (end) {
    case MountEnd::Ready:
        m_phase = Phase::Installing;
        commands.push_back(Do(Command::StartInstall));
        return commands;
    case MountEnd::NotOurs:
        commands = {Do(Command::CloseWaitBox), Say(Command::Log, record), Prompt(Outcome::MountFailed)};
        break;
    case MountEnd::MountFailed:
        commands = {Do(Command::CloseWaitBox), Prompt(Outcome::MountFailed),
                    Say(Command::Log, WithDetail(kMountFailedRecord, record))};
        break;
    case MountEnd::NoSetup:
        commands = {Do(Command::CloseWaitBox), Prompt(Outcome::NoSetup), Say(Command::Log, WithDetail(kNoSetupRecord, record))};
        break;
    case MountEnd::Unsigned:
        // The record first: it must not wait for the person to answer the prompt.
        commands = {Say(Command::Log, record), Do(Command::CloseWaitBox), Prompt(Outcome::UnsignedSetup)};
        break;
    default: return commands;
    }
    BackToReady(commands);
    return commands;
}

std::vector<Command> Workflow::OnInstallResult(InstallEnd end) {
    std::vector<Command> commands;
    if (m_phase != Phase::Installing) return commands;
    switch (end) {
    // Only a verified installation ends the second run for good: the marker goes before the prompt.
    case InstallEnd::Finished: commands = {Do(Command::DeleteMarker), Prompt(Outcome::Installed)}; break;
    case InstallEnd::FinishedRestartNeeded:
        commands = {Do(Command::DeleteMarker), Prompt(Outcome::InstalledRestartNeeded)};
        break;
    case InstallEnd::SetupFailed: commands = {Prompt(Outcome::InstallFailed), Say(Command::Log, L"安装失败")}; break;
    // The worker's last message follows this one: the close waits for it.
    case InstallEnd::DismountFailed:
        return {Prompt(Outcome::DismountFailed), Say(Command::Log, L"卸载镜像文件失败")};
    default: return commands;
    }
    BackToReady(commands);
    return commands;
}

void Workflow::BackToReady(std::vector<Command> &commands) {
    m_phase = m_markerFound ? Phase::ReadyToInstall : Phase::ReadyToRemove;
    if (!m_closeAsked) return;
    m_closeAsked = false;
    m_phase = Phase::Closing;
    commands.push_back(Do(Command::RepeatClose));
}
