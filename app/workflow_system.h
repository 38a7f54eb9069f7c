#pragma once
// What the workflow's host asks of the system and of the download engine. Implemented on Windows
// by CHostSystem (app/host_system.h); the host's tests put recording ones in its place.
#include <string>

#include "app/workflow.h"

// The engine's callbacks, as the host takes them: on the engine's own threads.
class EngineListener {
public:
    virtual ~EngineListener() = default;
    virtual void EngineProgress(const char *speedText, int percent) = 0;
    // failure: why a failed run failed, asked of the engine inside its ending callback.
    virtual void EngineEnded(int endCode, const EngineFailure &failure) = 0;
};

class WorkflowSystem {
public:
    virtual ~WorkflowSystem() = default;

    virtual void Log(const std::wstring &record) = 0;
    // The marker counts only when it is the program's own; anything else at its name is moved aside.
    virtual bool MarkerFound() = 0;
    virtual void DeleteMarker() = 0;

    // The fixed drive whose working folder holds a partial image to resume, when it has room for the
    // rest; else the first drive root with room for the image; empty when none has it.
    virtual std::string ChooseDrive() = 0;
    // The image's path in the program's own folder on root (or, when no such folder can be made
    // there, on the next drive with room); empty, with the folder in folderText, when none can be made.
    virtual std::wstring MakeImageFolder(const std::string &root, std::wstring &folderText) = 0;
    // The image file of this attempt at path, held until it is deleted: the partial one an earlier
    // run left (Resumed, detail saying what is kept) when it and the engine's companion are the
    // program's own, else a new, empty one. An image still mounted there is dismounted first.
    virtual ImageFileResult MakeImageFile(const std::wstring &path, std::wstring &detail) = 0;
    // Deletes the file MakeImageFile made, if its name still leads to it; detail says why not.
    virtual bool DeleteImage(std::wstring &detail) = 0;
    // The size of the file MakeImageFile made, by its handle; -1 when it cannot be told.
    virtual long long ImageBytes() = 0;

    virtual bool StartRemoval() = 0;
    virtual bool OfficeWasThere() = 0;  // read after the removal's result
    // Hashes the file MakeImageFile made on a worker and compares it with sha256 (64 lower-case hex
    // digits); the worker reports a VerifyEnd.
    virtual bool StartVerify(const std::string &sha256) = 0;
    virtual std::wstring VerifyRecord() = 0;  // read after the verification's result
    virtual bool StartMount() = 0;      // of the file MakeImageFile made
    virtual std::wstring MountRecord() = 0;
    virtual bool StartInstall() = 0;
    // After the installation's result: what the setup returned and what it registered, and its exit code.
    virtual std::wstring InstallRecord() = 0;
    virtual unsigned long SetupExitCode() = 0;
    // false, with the system's error, when the restart is refused.
    virtual bool Restart(int &error) = 0;

    // The image's address (the command line's, the policy's or the default).
    virtual std::string ImageUrl() = 0;
    // The SHA-256 the image must have (the command line's or the policy's), as 64 lower-case hex
    // digits; empty when none is asked for. A policy value that is no such digest is logged and
    // given as it is, so that no image matches it.
    virtual std::string ImageSha256() = 0;
    // Starts the engine and hands it the listener; an engine that cannot start shows later as a
    // download that cannot start.
    virtual void BindEngine(EngineListener &listener) = 0;
    // False when the engine took no task (memory ran out, or it is being let go): no ending follows.
    virtual bool StartDownload(int taskId, const std::string &url, const std::wstring &path) = 0;
    // From the engine's transfer thread: hands the ending and its failure to the user-interface
    // thread, which passes them back to WorkflowHost::OnReport; returns once they have been taken.
    virtual void PassEnding(int endCode, const EngineFailure &failure) = 0;
    // A timer that reports a WorkerReport::RetryTick to WorkflowHost::OnReport once a second, on the
    // user-interface thread (the window's, or the loop of the run without windows), until stopped;
    // false when it cannot be started.
    virtual bool StartRetryTimer() = 0;
    virtual void StopRetryTimer() = 0;
    // Milliseconds on a monotonic clock.
    virtual unsigned long long NowMs() = 0;
    // Lets the engine go; no callback runs once it returns.
    virtual void ReleaseEngine() = 0;
};
