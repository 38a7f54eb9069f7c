#include "app/mouse_hook.h"

#include <atomic>

#include "sysops/private_messages.h"

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
    if (m_hThread) return g_hHook.load() ? 1 : 0;
    m_hInstalled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_hInstalled) return 0;
    m_hThread = CreateThread(nullptr, 0, HookThread, this, 0, &m_dwThreadId);
    if (!m_hThread) {
        CloseHandle(m_hInstalled);
        m_hInstalled = nullptr;
        return 0;
    }
    WaitForSingleObject(m_hInstalled, INFINITE);
    if (g_hHook.load()) return 1;
    Uninstall();
    return 0;
}

void CMouseHook::Uninstall() {
    if (!m_hThread) return;
    // The thread's loop ends at WM_QUIT and removes the hook itself; a thread whose hook failed has
    // already ended.
    PostThreadMessageW(m_dwThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    CloseHandle(m_hInstalled);
    m_hThread = nullptr;
    m_hInstalled = nullptr;
    m_dwThreadId = 0;
}

DWORD WINAPI CMouseHook::HookThread(LPVOID self) {
    auto *hook = static_cast<CMouseHook *>(self);
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists before anyone posts
    HHOOK installed = SetWindowsHookExW(WH_MOUSE_LL, HookProc, GetModuleHandleW(nullptr), 0);
    g_hHook = installed;
    SetEvent(hook->m_hInstalled);
    if (!installed) return 0;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    UnhookWindowsHookEx(installed);
    g_hHook = nullptr;
    return 0;
}

LRESULT CALLBACK CMouseHook::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == WM_LBUTTONDOWN) {
        if (HWND target = g_hTarget.load()) PostMessageW(target, WM_HOOK_LBUTTONDOWN, wParam, lParam);
    }
    return CallNextHookEx(g_hHook.load(), code, wParam, lParam);
}
