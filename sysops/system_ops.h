#pragma once
// The main window's system operations: the version check, the Office removal worker, the mount
// worker, the install worker and the restart. Workers report to the owner window with synchronous
// private messages, so the user-interface thread never waits on the outside world itself.
#include <windows.h>

#include <functional>
#include <string>

#include "sysops/command_runner.h"
#include "sysops/image_file.h"
#include "sysops/worker_ends.h"
#include "platform/scoped_handle.h"

// The command runners the workers use, with the time limit of each command (INFINITE for none);
// tests put recording or failing ones in their place.
struct CommandRunners {
    std::function<int(std::wstring, bool, DWORD)> run = RunCommand;
    std::function<int(std::wstring, std::wstring &, DWORD)> capture = RunCommandCapture;
    // Hidden, through the interpreter, with the exit code.
    std::function<CommandOutcome(std::wstring, DWORD)> runHidden = [](std::wstring command, DWORD limitMs) {
        return RunCommandOutcome(std::move(command), false, limitMs);
    };
    // A program by its full path, with its arguments.
    std::function<CommandOutcome(std::wstring, std::wstring, DWORD)> runProgram =
        [](std::wstring program, std::wstring arguments, DWORD limitMs) { return RunProgram(program, arguments, limitMs); };
};

class CSystemOps {
public:
    CSystemOps() = default;
    explicit CSystemOps(CommandRunners runners) : m_runners(std::move(runners)) {}
    CSystemOps(const CSystemOps &) = delete;
    CSystemOps &operator=(const CSystemOps &) = delete;

    // Stores the window the workers report to; a null handle is refused and changes nothing.
    bool Attach(HWND window);
    HWND OwnerWindow() const { return ownerWnd; }

    // True only when the kernel recorded version 10.0 for this process.
    bool IsSupportedSystem() const;

    // Starts RemoveOffice on a detached thread; false (and a log record) when it cannot start.
    bool StartRemoveOffice();
    // Runs the three PowerShell steps and the two troubleshooters (each waited for, without a
    // limit), then each Click-to-Run product still registered through its own uninstall command,
    // silently. Writes the marker and reports success only when no Click-to-Run product remains
    // registered; reports WM_CLOSE_EXECUTE_PROMPT then WM_UNINSTALL_RESULT. A PowerShell step still
    // running after its limit counts as one that could not run, and stops the removal.
    bool RemoveOffice();
    // Without anybody at the screen the removal skips the two troubleshooters, which wait for a
    // person without a limit; the registry decides its result all the same.
    void SetNobodyAtScreen() { m_nobodyAtScreen = true; }
    // Whether the last removal found a Click-to-Run product registered when it began; read after
    // its result.
    bool FoundOfficeBefore() const { return m_officeBefore; }

    // Starts VerifyImage on a detached thread; false (and a log record) when it cannot start.
    bool StartVerifyImage(std::string sha256);
    // Hashes the image that Image() made and compares it with sha256 (64 lower-case hex digits);
    // reports WM_VERIFY_RESULT with a VerifyEnd.
    VerifyEnd VerifyImage();
    // What the last verification found, to log with its result.
    const std::wstring &VerifyRecord() const { return m_verifyRecord; }

    // The step from a complete image to its setup: starts MountImage on a detached thread for the
    // image that Image() made, whose Ready result is followed by StartInstallFromMount; false (and
    // a log record) when it cannot start. This object must outlive the worker.
    bool MountAndStartSetup();
    // Mounts the image (only while its name still leads to the file Image() made), asks the system
    // for its own volume's drive letter for up to 10 s, finds the setup there and checks its
    // signature (a refused image is dismounted again); reports WM_MOUNT_RESULT with a MountEnd.
    MountEnd MountImage();
    // What the last mount found to log with its result: for NotOurs and Unsigned; for MountFailed
    // and NoSetup what the mount command printed, or the setup file that is not there; for Ready
    // the drive and the setup's signer.
    const std::wstring &MountRecord() const { return m_mountRecord; }
    // After the installation's result: what the setup returned and whether Office is registered
    // after it, and the setup's exit code (0 when it did not exit by itself).
    const std::wstring &InstallRecord() const { return m_installRecord; }
    unsigned long SetupExitCode() const { return m_setupExitCode; }
    // Starts the install worker with the setup the last mount found and checked (MountEnd::Ready).
    bool StartInstallFromMount();

    // Stores both texts and the checked setup program's handle (held until the setup has run, so
    // that the file checked is the file that runs), and starts FinishInstall on a detached thread.
    // This object must outlive the worker.
    bool StartFinishInstall(std::wstring setup, std::wstring image, ScopedHandle checkedSetup = ScopedHandle());
    // Runs the setup (without a time limit), ends the Click-to-Run processes and dismounts the
    // image; the image file is its owner's to delete once the result is in. A dismount still running
    // after its limit counts as one that could not run.
    bool FinishInstall();

    // Dismounts the image at path, which a run that ended without its clean-up may have left
    // attached, before anything else touches the file; whether it was attached is not asked.
    void DismountLeftImage(const std::wstring &path);

    // The disc image file of the current attempt.
    CImageFile &Image() { return m_image; }

    // Enables the shutdown privilege and forces a restart; false when the privilege or the restart
    // itself is refused.
    bool RestartComputer();

private:
    // Closes the owner's please-wait box, then sends the worker's result.
    void CloseBoxThenReport(UINT message, WPARAM value) const;

    HWND ownerWnd = nullptr;
    std::wstring setupCommand;
    std::wstring imagePath;
    ScopedHandle m_checkedSetup;
    CImageFile m_image;
    CommandRunners m_runners;
    // Written by the mount worker before its message, read on the user-interface thread after it.
    std::wstring m_mountRecord;
    std::string m_expectedSha256;
    std::wstring m_verifyRecord;
    std::wstring m_installRecord;
    unsigned long m_setupExitCode = 0;
    std::wstring m_mountedRoot;
    bool m_mounted64 = false;
    bool m_officeBefore = false;
    bool m_nobodyAtScreen = false;
    ScopedHandle m_mountedSetup;
};
