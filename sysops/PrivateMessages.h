#pragma once
// Private window messages between the workers and the main window (WM_USER is 0x0400). All but
// WM_HOOK_LBUTTONDOWN are sent synchronously with the data in wParam and lParam 0.
constexpr unsigned WM_CLOSE_EXECUTE_PROMPT = 0x0400 + 501;  // 1525: close the please-wait box
constexpr unsigned WM_UNINSTALL_RESULT = 0x0400 + 502;      // 1526: 1 removal done, 2 a step failed
constexpr unsigned WM_INSTALL_RESULT = 0x0400 + 503;        // 1527: 1 finished, 2 setup, 3 dismount failed
constexpr unsigned WM_DOWNLOAD_RESULT = 0x0400 + 504;       // 1528: 1 image complete, 3..7 failures
constexpr unsigned WM_PROMPT_RESULT = 0x0400 + 0x215;       // 1557: 1 first button, 2 second button
constexpr unsigned WM_HOOK_LBUTTONDOWN = 0x0400 + 1000;     // 2024: posted by the mouse hook

// wParam values of WM_UNINSTALL_RESULT and WM_INSTALL_RESULT.
constexpr unsigned kUninstallDone = 1;
constexpr unsigned kUninstallFailed = 2;
constexpr unsigned kInstallFinished = 1;
constexpr unsigned kInstallSetupFailed = 2;
constexpr unsigned kInstallDismountFailed = 3;
