#pragma once
// How each worker ended, as its result message carries it in wParam (sysops/private_messages.h).
// Pure, so the workflow that reads them is tested natively.

enum class UninstallEnd {  // WM_UNINSTALL_RESULT
    Done = 1,    // nothing of Click-to-Run is registered any more, and the marker is written
    Failed = 2,  // a step could not run, a product stayed, or the marker could not be written
};

enum class VerifyEnd {  // WM_VERIFY_RESULT
    Matches = 1,     // the image file has the SHA-256 asked for
    Differs = 2,     // it has another one
    Unreadable = 3,  // it could not be read to its end, or is no longer the file this attempt made
};

enum class MountEnd {  // WM_MOUNT_RESULT
    Ready = 1,        // mounted, the setup found on the image's own drive and its signature good
    NotOurs = 2,      // the image file is no longer the one this attempt made: not mounted
    MountFailed = 3,  // the mount command could not run
    NoSetup = 4,      // no drive letter for the image's volume, or no setup program on it
    Unsigned = 5,     // the setup is not signed by its maker: dismounted again, image kept
};

enum class InstallEnd {  // WM_INSTALL_RESULT
    Finished = 1,        // the setup ran and the image was dismounted (or the dismount failed, see 3)
    SetupFailed = 2,     // the setup could not run
    DismountFailed = 3,  // the dismount could not run; Finished follows
    NotInstalled = 4,    // the setup ran and was cleaned up after as for Finished, but exited non-zero or
                         // left Office Home and Student 2019 unregistered (see InstallRecord)
    FinishedRestartNeeded = 5,  // as Finished, but the setup asked for a restart (3010, or 1641: it began one)
};
