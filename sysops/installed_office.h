#pragma once
// Reads what Click-to-Run has installed from where Office itself records it, in both registry
// views: the ProductReleaseIds of HKLM\SOFTWARE\Microsoft\Office\ClickToRun\Configuration, and the
// entries under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall whose UninstallString
// runs OfficeClickToRun.exe. Only administrators can write there. Office installed by Windows
// Installer (2016 and older) is not looked for.
#include "sysops/click_to_run.h"

// A key or value that cannot be read counts as absent. Thread-safe.
InstalledClickToRun ReadInstalledClickToRun();
