#pragma once
// The workflow of both runs as one state machine, without windows: events go in (a press, a
// worker's result, the engine's ending, a close), commands come out as plain data for whoever
// carries them out (app/workflow_host.h). Each command that asks something of the
// system (choose a drive, start a worker, ask the restart question) is answered by the next event,
// fed in by the one that carried it out before it carries out anything else.
#include <string>
#include <utility>
#include <vector>

#include "app/download_failure.h"
#include "app/workflow_text.h"
#include "sysops/worker_ends.h"

enum class Phase {
    Checking,        // start-up checks not yet passed
    ReadyToRemove,   // first run: the button starts the removal
    Removing,        // removal worker running, please-wait box up
    AskRestart,      // the restart question is up
    Restarting,      // restart asked for; the system ends the process
    ReadyToInstall,  // second run: the button starts the download
    Preparing,       // drive, folder and image file being made for the download
    Downloading,     // the engine fills the image, please-wait box up
    Verifying,       // verify worker: the finished image's SHA-256 against the one asked for
    Mounting,        // mount worker: mount, drive letter, setup signature
    Installing,      // install worker: setup, clean-up
    Closing,         // a close was accepted: nothing new starts
};

// Resumed: the partial image an earlier run left is the program's own and is taken up again.
enum class ImageFileResult { Ready, OldFileStays, CannotCreate, Resumed };

struct Event {
    enum Kind {
        ChecksPassed,     // yes: the uninstall marker was found
        ActionPressed,    // the action button, pressed as a person presses it
        DriveChosen,      // root: the drive root with room, empty when none has it
        ImageFolderMade,  // yes: the image's path is chosen in the program's folder; else text: the folder
        ImageFileMade,    // file; text: what stood in the way
        WorkerStarted,    // yes: the removal, mount or install worker started
        WaitBoxCloseAsked,  // a worker closes the please-wait box before its result
        UninstallResult,  // uninstall
        RestartAnswered,  // yes: 是
        RestartFailed,    // code: the system's error
        DownloadEnded,    // code: the engine's ending code; failure: why, for a failure
        Verified,         // yes: the image has the SHA-256 asked for; text: the record to log
        MountEnded,       // mount; text: the record to log
        InstallResult,    // install (DismountFailed is followed by Finished)
        ImageDeleted,     // yes: deleted; else text: why not
        CloseRequested,   // the person (or the session) closes the window
        EngineReleased,   // the download engine has let go: no thread of it is left
    };
    Event(Kind eventKind) : kind(eventKind) {}  // NOLINT: a bare kind reads as the event
    Event(UninstallEnd end) : kind(UninstallResult), uninstall(end) {}
    Event(MountEnd end, std::wstring record = {}) : kind(MountEnded), mount(end), text(std::move(record)) {}
    Event(InstallEnd end) : kind(InstallResult), install(end) {}
    Event(ImageFileResult result, std::wstring detail = {}) : kind(ImageFileMade), file(result), text(std::move(detail)) {}
    static Event Answer(Kind kind, bool yes, std::wstring text = {}) {
        Event event(kind);
        event.yes = yes;
        event.text = std::move(text);
        return event;
    }
    static Event Code(Kind kind, int code) {
        Event event(kind);
        event.code = code;
        return event;
    }
    static Event Ended(int endCode, EngineFailure why) {
        Event event(DownloadEnded);
        event.code = endCode;
        event.failure = std::move(why);
        return event;
    }
    static Event Drive(std::string root) {
        Event event(DriveChosen);
        event.root = std::move(root);
        return event;
    }

    Kind kind;
    bool yes = false;
    int code = 0;
    UninstallEnd uninstall = UninstallEnd::Failed;
    MountEnd mount = MountEnd::MountFailed;
    InstallEnd install = InstallEnd::SetupFailed;
    ImageFileResult file = ImageFileResult::CannotCreate;
    std::string root;   // narrow: the engine's encoding
    std::wstring text;  // for the log
    EngineFailure failure;
};

struct Command {
    enum Kind {
        ShowPrompt,      // outcome, one 确认 button
        Log,             // text
        AskRestart,      // the restart question; answered by RestartAnswered
        RecordRestartFeedback,
        Restart,         // answered by RestartFailed only when refused
        NewWaitBox,      // text: made now, run by RunWaitBox, so that a close asked for meanwhile is kept
        RunWaitBox,      // modal until closed
        SetWaitText,     // text
        CloseWaitBox,
        ShowProgress,    // at 0
        HideProgress,
        ChooseDrive,      // answered by DriveChosen
        MakeImageFolder,  // root: the drive; answered by ImageFolderMade
        MakeImageFile,    // at the path chosen; answered by ImageFileMade
        StartDownload,    // into that file
        DeleteMarker,     // once the installation is done
        DeleteImage,      // the image file of this attempt; answered by ImageDeleted
        StartRemoval,     // answered by WorkerStarted
        StartVerify,      // of that file; answered by WorkerStarted
        StartMount,       // of that file; answered by WorkerStarted
        StartInstall,     // with what the mount found; answered by WorkerStarted
        RepeatClose,      // ask for the close again once what runs now has returned
        CloseNow,         // the close goes ahead: the feedback question, then the end
    };
    Kind kind;
    std::wstring text;
    std::string root;
    Outcome outcome = Outcome::Installed;

    bool operator==(const Command &other) const {
        return kind == other.kind && text == other.text && root == other.root &&
               (kind != ShowPrompt || outcome == other.outcome);
    }
};

class Workflow {
public:
    std::vector<Command> Handle(const Event &event);

    // The finished image must have the SHA-256 an administrator gave before it is mounted.
    void CheckImageDigest(bool check) { m_checkDigest = check; }

    Phase CurrentPhase() const { return m_phase; }
    bool MarkerFound() const { return m_markerFound; }

private:
    std::vector<Command> OnPress();
    std::vector<Command> OnClose();
    std::vector<Command> OnDownloadEnded(int endCode, const EngineFailure &failure);
    std::vector<Command> OnVerified(bool matches, const std::wstring &record);
    std::vector<Command> OnMountEnded(MountEnd end, const std::wstring &record);
    std::vector<Command> OnInstallResult(InstallEnd end);
    // Back to the ready phase of this run; a close asked for meanwhile goes ahead now.
    void BackToReady(std::vector<Command> &commands);

    Phase m_phase = Phase::Checking;
    bool m_markerFound = false;
    bool m_closeAsked = false;   // a close came while work ran that must not be left half done
    bool m_checkDigest = false;
    bool m_downloadAgain = false;  // an image that failed its check is downloaded once more, in the same box
    bool m_downloadedAgain = false;  // this press has done so
    std::string m_driveRoot;
    bool m_imageChosen = false;  // the host holds the path chosen by the first press, for the next ones
};
