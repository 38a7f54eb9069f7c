#include "app/mouse_hook.h"

#include <atomic>

#include "platform/start_thread.h"

namespace {

// Process-wide, as the hook procedure has no way to reach an object.
std::atomic<HWND> g_hTarget{nullptr};
std::atomic<HHOOK> g_hHook{nullptr};

}  // namespace

CMouseHook::CMouseHook() {
    g_hTarget = nullptr;
    g_hHook = nullptr;
}

CMouseHook::~CMouseHook() { Uninstall(); }

int CMouseHook::SetTargetWindow(HWND window) {
    if (!window) return 0;
    g_hTarget = window;
    return 1;
}

int CMouseHook::Install() {
    if (m_thread.IsValid()) return g_hHook.load() ? 1 : 0;
    m_installed = ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_installed.IsValid()) return 0;
    m_thread = StartThread([this] { HookThread(); }, &m_threadId);
    if (!m_thread.IsValid()) {
        m_installed.Close();
        return 0;
    }
    WaitForSingleObject(m_installed.Get(), INFINITE);
    if (g_hHook.load()) return 1;
    Uninstall();
    return 0;
}

void CMouseHook::Uninstall() {
    if (!m_thread.IsValid()) return;
    // The thread's loop ends at WM_QUIT and removes the hook itself; a thread whose hook failed has
    // already ended.
    PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Close();
    m_installed.Close();
    m_threadId = 0;
}

void CMouseHook::HookThread() {
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists before anyone posts
    HHOOK installed = SetWindowsHookExW(WH_MOUSE_LL, HookProc, GetModuleHandleW(nullptr), 0);
    g_hHook = installed;
    SetEvent(m_installed.Get());
    if (!installed) return;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    UnhookWindowsHookEx(installed);
    g_hHook = nullptr;
}

LRESULT CALLBACK CMouseHook::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == WM_LBUTTONDOWN) {
        if (HWND target = g_hTarget.load()) PostMessageW(target, WM_HOOK_LBUTTONDOWN, wParam, lParam);
    }
    return CallNextHookEx(g_hHook.load(), code, wParam, lParam);
}
