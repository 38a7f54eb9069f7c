#pragma once
// Private window messages of the program, declared once for the workers that send them and the
// windows that answer them, so that no two share a number. All are sent
// synchronously with the data in wParam and lParam 0 (WM_DOWNLOAD_RESULT: the engine's code).
#include <windows.h>

// To the please-wait box (or to the main control layer, which passes it on): close the box.
constexpr UINT WM_CLOSE_EXECUTE_PROMPT = WM_USER + 501;  // 1525
constexpr UINT WM_UNINSTALL_RESULT = WM_USER + 502;      // 1526: an UninstallEnd (sysops/worker_ends.h)
constexpr UINT WM_INSTALL_RESULT = WM_USER + 503;        // 1527: an InstallEnd
constexpr UINT WM_DOWNLOAD_RESULT = WM_USER + 504;       // 1528: lParam the engine's ending code
constexpr UINT WM_MOUNT_RESULT = WM_USER + 505;          // 1529: a MountEnd
constexpr UINT WM_VERIFY_RESULT = WM_USER + 506;         // 1530: a VerifyEnd
// The skin's own messages are in skin/skin_messages.h, the mouse hook's in app/mouse_hook.h; their
// numbers stay apart from these.
