#pragma once
// Private window messages between the workers and the main window. All but WM_HOOK_LBUTTONDOWN are
// sent synchronously with the data in wParam and lParam 0 (WM_DOWNLOAD_RESULT: the engine's code).
#include <windows.h>

// The please-wait box's and the prompt's own messages (WM_CLOSE_EXECUTE_PROMPT 1525, WM_PROMPT_RESULT
// 1557) are declared once, with the dialogs that answer them.
#include "skin/messages.h"

constexpr UINT WM_UNINSTALL_RESULT = WM_USER + 502;   // 1526: 1 removal done, 2 a step failed
constexpr UINT WM_INSTALL_RESULT = WM_USER + 503;     // 1527: 1 finished, 2 setup, 3 dismount failed
constexpr UINT WM_DOWNLOAD_RESULT = WM_USER + 504;    // 1528: 1 image complete, 3..7 failures; lParam the engine's code
constexpr UINT WM_MOUNT_RESULT = WM_USER + 505;       // 1529: a MountEnd (sysops/mount_outcome.h)
constexpr UINT WM_HOOK_LBUTTONDOWN = WM_USER + 1000;  // 2024: posted by the mouse hook

// wParam values of WM_UNINSTALL_RESULT and WM_INSTALL_RESULT.
constexpr unsigned kUninstallDone = 1;
constexpr unsigned kUninstallFailed = 2;
constexpr unsigned kInstallFinished = 1;
constexpr unsigned kInstallSetupFailed = 2;
constexpr unsigned kInstallDismountFailed = 3;
