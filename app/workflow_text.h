#pragma once
// The workflow's outcomes and the texts the window shows for them. An outcome travels by name from
// where it arises to where it is shown (a prompt) or turned into an exit code (app/exit_codes.h).
// Pure, so it is tested natively.
#include <string>

// How one run of the download ended, from the engine's code (dravlin.h).
enum class DownloadEnding {
    Unknown,          // no code the engine gives: no ending at all
    Complete,         // Finished or AlreadyComplete: the image is on disk
    SizeQueryFailed,
    SaveFailed,
    Interrupted,
    OtherError,
    Aborted,
};
DownloadEnding EndingOf(int endCode);

// Every way the work ends that the person is told of with a prompt.
enum class Outcome {
    Installed,          // 安装完成！
    InstalledRestartNeeded,  // installed, and the setup asked for a restart
    InstallFailed,
    DismountFailed,     // followed by Installed
    RemovalFailed,
    RestartRefused,     // the removal was done, the restart was not
    NoRoom,
    OldImageStays,      // an image of an earlier attempt cannot be deleted (another program holds it)
    CannotSave,         // no folder or file for the image, or the engine could not write it
    SizeQueryFailed,
    Interrupted,
    OtherDownloadError,
    DownloadAborted,
    ImageCorrupt,       // the finished image has not the SHA-256 asked for, twice
    MountFailed,
    NoSetup,
    UnsignedSetup,
};
// The outcome of a failed download; Complete and Unknown have none.
Outcome OutcomeOf(DownloadEnding ending);
const wchar_t *PromptText(Outcome outcome);
// text with the user information of every address in it ("user:password@") shown as "***@": a
// record never carries a password.
std::wstring WithoutUserInfo(std::wstring text);

extern const wchar_t kRemovalDoneQuestion[];
// A window started while a copy without windows (/quiet) runs: it has nothing to bring forward.
extern const wchar_t kQuietCopyRunning[];

struct EngineFailure;
// The outcome of a failed download, from its ending and why the engine says it failed: a full disk
// is CannotSave and a stall a broken connection, whatever code the engine ended with.
Outcome OutcomeOf(DownloadEnding ending, const EngineFailure &failure);
// The reason of a failed run for the log: the HTTP status when there is one, and the engine's text
// (addresses without their user information, bytes that are no text as '?'); empty when there is
// neither.
std::wstring FailureReason(const EngineFailure &failure);
// UTF-8 as wide text; what is not UTF-8 (or beyond the first plane) becomes '?'.
std::wstring WideFromUtf8(const std::string &text);
