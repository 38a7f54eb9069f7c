#pragma once
// The exit codes of a run without windows, as software distribution tools read them: Windows
// Installer's conventions, and for each outcome the window shows as a prompt a standard Windows
// code that names it. Pure, so it is tested natively.
#include "app/workflow_text.h"

constexpr int kExitSuccess = 0;
constexpr int kExitRestartRequired = 3010;    // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr int kExitRestartStarted = 1641;     // ERROR_SUCCESS_REBOOT_INITIATED
constexpr int kExitAnotherCopy = 1618;        // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kExitBadSwitch = 87;            // ERROR_INVALID_PARAMETER
constexpr int kExitFatal = 1603;              // ERROR_INSTALL_FAILURE
constexpr int kExitUnsupportedSystem = 1150;  // ERROR_OLD_WIN_VERSION
// The image arrived twice with another SHA-256 than the one asked for: not a network fault that
// waiting mends, but a file (or a mirror, or a digest) that is wrong.
constexpr int kExitImageCorrupt = 1392;       // ERROR_FILE_CORRUPT
constexpr int kExitLogFailed = 1622;          // ERROR_INSTALL_LOG_FAILURE: the /log file cannot be made

// The code of a run that ended on outcome: 0 for Installed, 1603 for one without a code of its own.
int ExitCodeFor(Outcome outcome);
// The code of a run whose setup failed with setupCode: the setup's own where it is a Windows
// Installer failure (16xx, not 1641), 1603 otherwise; 3010 and 1641 say success, which this is not.
int InstallFailedExitCode(unsigned long setupCode);
