#pragma once
// The workflow of both runs as one state machine, without windows: events go in (a press, a
// worker's result, the engine's ending, a close), commands come out as plain data for whoever
// carries them out (the main window, or a command line). Each command that asks something of the
// system (choose a drive, start a worker, ask the restart question) is answered by the next event,
// fed in by the one that carried it out before it carries out anything else.
#include <string>
#include <utility>
#include <vector>

enum class Phase {
    Checking,        // start-up checks not yet passed
    ReadyToRemove,   // first run: the button starts the removal
    Removing,        // removal worker running, please-wait box up
    AskRestart,      // the restart question is up
    Restarting,      // restart asked for; the system ends the process
    ReadyToInstall,  // second run: the button starts the download
    Preparing,       // drive, folder and image file being made for the download
    Downloading,     // the engine fills the image, please-wait box up
    Mounting,        // mount worker: mount, drive letter, setup signature
    Installing,      // install worker: setup, clean-up
    Closing,         // a close was accepted: nothing new starts
};

struct Event {
    enum Kind {
        ChecksPassed,     // value: 1 when the uninstall marker was found
        ActionPressed,    // the action button, pressed as a person presses it
        DriveChosen,      // path: the drive root with room, empty when none has it
        ImageFolderMade,  // path: the image's path in the program's folder; empty (text: the folder) when none could be made
        ImageFileMade,    // value: an ImageFileResult; text: what stood in the way
        WorkerStarted,    // value: 1 started, 0 could not start (the removal, mount or install worker)
        WaitBoxCloseAsked,  // a worker closes the please-wait box before its result
        UninstallResult,  // value: 1 done, 2 failed
        RestartAnswered,  // value: 1 是, 0 否
        RestartFailed,    // value: the system's error
        DownloadEnded,    // value: the engine's ending code
        MountEnded,       // value: a MountEnd (sysops/mount_outcome.h); text: the record to log
        InstallResult,    // value: 1 finished, 2 setup could not run, 3 dismount failed (followed by 1)
        ImageDeleted,     // value: 1 deleted, 0 kept; text: why
        CloseRequested,   // the person (or the session) closes the window
        EngineReleased,   // the download engine has let go: no thread of it is left
    };
    Event(Kind eventKind, int eventValue = 0, std::string eventPath = {}, std::wstring eventText = {})
        : kind(eventKind), value(eventValue), path(std::move(eventPath)), text(std::move(eventText)) {}

    Kind kind;
    int value;
    std::string path;   // narrow: the engine's path
    std::wstring text;  // for the log
};

enum class ImageFileResult { Ready = 0, OldFileStays = 1, CannotCreate = 2 };

struct Command {
    enum Kind {
        ShowPrompt,      // text, one 确认 button
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
        MakeImageFolder,  // path: the drive root; answered by ImageFolderMade
        MakeImageFile,    // path; answered by ImageFileMade
        StartDownload,    // path
        DeleteMarker,
        DeleteImage,      // the image file of this attempt; answered by ImageDeleted
        StartRemoval,     // answered by WorkerStarted
        StartMount,       // path; answered by WorkerStarted
        StartInstall,     // with what the mount found; answered by WorkerStarted
        RepeatClose,      // ask for the close again once what runs now has returned
        CloseNow,         // the close goes ahead: the feedback question, then the end
    };
    Kind kind;
    std::wstring text;
    std::string path;

    bool operator==(const Command &other) const {
        return kind == other.kind && text == other.text && path == other.path;
    }
};

class Workflow {
public:
    std::vector<Command> Handle(const Event &event);

    Phase CurrentPhase() const { return m_phase; }
    bool MarkerFound() const { return m_markerFound; }
    // The image path chosen by the first press of this run, kept for the next ones.
    const std::string &ImagePath() const { return m_imagePath; }

private:
    std::vector<Command> OnPress();
    std::vector<Command> OnClose();
    std::vector<Command> OnDownloadEnded(int endCode);
    std::vector<Command> OnMountEnded(int end, const std::wstring &record);
    std::vector<Command> OnInstallResult(int result);
    // Back to the ready phase of this run; a close asked for meanwhile goes ahead now.
    void BackToReady(std::vector<Command> &commands);

    Phase m_phase = Phase::Checking;
    bool m_markerFound = false;
    bool m_closeAsked = false;   // a close came while work ran that must not be left half done
    bool m_imagePartial = false;  // the image of this attempt holds an unfinished download
    std::string m_driveRoot;
    std::string m_imagePath;
};
