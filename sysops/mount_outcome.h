#pragma once
// How the mount worker ended (WM_MOUNT_RESULT's wParam). Pure, so the workflow that reads it is
// tested natively.

enum class MountEnd {
    Ready = 1,        // mounted, the setup found on the image's own drive and its signature good
    NotOurs = 2,      // the image file is no longer the one this attempt made: not mounted
    MountFailed = 3,  // the mount command could not run
    NoSetup = 4,      // no drive letter for the image's volume, or no setup program on it
    Unsigned = 5,     // the setup is not signed by its maker: dismounted again, image kept
};
