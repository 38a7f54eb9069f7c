#pragma once
// The low-level mouse hook of the main window: every left-button press anywhere on the desktop is
// posted to the target window as WM_HOOK_LBUTTONDOWN. The hook lives on a thread of its own with
// its own message loop: a low-level hook is called on the thread that installed it, and the
// user-interface thread is blocked while an image mounts, which would stall the mouse of the whole
// desktop for that time.
#include <windows.h>

#include "platform/scoped_handle.h"

// Posted to the target window for each press: wParam and lParam as the hook received them.
constexpr UINT WM_HOOK_LBUTTONDOWN = WM_USER + 1000;  // 2024

class CMouseHook {
public:
    CMouseHook();  // clears the process-wide target and hook
    ~CMouseHook();
    CMouseHook(const CMouseHook &) = delete;
    CMouseHook &operator=(const CMouseHook &) = delete;

    // 0 for a null handle, else stores it and returns 1.
    int SetTargetWindow(HWND window);
    // 1 when the hook is installed (a second call changes nothing), else 0.
    int Install();
    // Removes the hook and ends its thread; safe to call when nothing is installed.
    void Uninstall();

private:
    void HookThread();
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);

    ScopedHandle m_thread;
    unsigned m_threadId = 0;
    ScopedHandle m_installed;  // set by the hook thread once it knows whether the hook is in
};
