#pragma once
// Private window messages of the program, declared once for the workers that send them and the
// windows that answer them, so that no two share a number. All but WM_HOOK_LBUTTONDOWN are sent
// synchronously with the data in wParam and lParam 0 (WM_DOWNLOAD_RESULT: the engine's code).
#include <windows.h>

// To the please-wait box (or to the main control layer, which passes it on): close the box.
constexpr UINT WM_CLOSE_EXECUTE_PROMPT = WM_USER + 501;  // 1525
constexpr UINT WM_UNINSTALL_RESULT = WM_USER + 502;      // 1526: an UninstallEnd (sysops/worker_ends.h)
constexpr UINT WM_INSTALL_RESULT = WM_USER + 503;        // 1527: an InstallEnd
constexpr UINT WM_DOWNLOAD_RESULT = WM_USER + 504;       // 1528: lParam the engine's ending code
constexpr UINT WM_MOUNT_RESULT = WM_USER + 505;          // 1529: a MountEnd
// To the prompt background: wParam 1 for the first button, 2 for the second.
constexpr UINT WM_PROMPT_RESULT = WM_USER + 0x215;  // 1557
// To the feedback dialog's control layer, from its report worker when the report has been made.
constexpr UINT WM_FEEDBACK_REPORTED = WM_USER + 0x216;  // 1558
constexpr UINT WM_HOOK_LBUTTONDOWN = WM_USER + 1000;    // 2024: posted by the mouse hook
