#include "app/exit_codes.h"

int InstallFailedExitCode(unsigned long setupCode) {
    // The restart codes are successes: a failure passed on as one would count as installed.
    const bool installerFailure = setupCode >= 1601 && setupCode <= 1660 && setupCode != kExitRestartStarted;
    return installerFailure ? static_cast<int>(setupCode) : kExitFatal;
}

int ExitCodeFor(Outcome outcome) {
    switch (outcome) {
    case Outcome::Installed: return kExitSuccess;
    case Outcome::InstalledRestartNeeded: return kExitRestartRequired;
    // The removal was done, the restart was not: the distribution tool restarts.
    case Outcome::RestartRefused: return kExitRestartRequired;
    case Outcome::NoRoom: return 112;              // ERROR_DISK_FULL
    case Outcome::OldImageStays: return 32;        // ERROR_SHARING_VIOLATION
    case Outcome::SizeQueryFailed: return 1231;    // ERROR_NETWORK_UNREACHABLE
    case Outcome::CannotSave: return 29;           // ERROR_WRITE_FAULT
    case Outcome::Interrupted: return 1236;        // ERROR_CONNECTION_ABORTED
    case Outcome::DownloadAborted: return 1223;    // ERROR_CANCELLED
    case Outcome::NoSetup: return 2;               // ERROR_FILE_NOT_FOUND: no setup on the image's drive
    case Outcome::UnsignedSetup: return 577;       // ERROR_INVALID_IMAGE_HASH
    case Outcome::ImageCorrupt: return kExitImageCorrupt;
    case Outcome::InstallFailed:
    case Outcome::DismountFailed:
    case Outcome::RemovalFailed:
    case Outcome::OtherDownloadError:
    case Outcome::MountFailed: break;
    }
    return kExitFatal;
}
