#include "control.h"

#include <commctrl.h>

#include <vector>

namespace winui {

namespace {
// One subclass id for all our controls; a window carries at most one of them.
constexpr UINT_PTR kSubclassId = 0x57A1;
}  // namespace

Control::~Control() { Detach(); }

bool Control::Attach(HWND dialog, int id) {
    if (m_hWnd) return false;
    HWND window = GetDlgItem(dialog, id);
    if (!window) return false;
    if (!SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
    m_hWnd = window;
    return true;
}

void Control::Detach() {
    if (!m_hWnd) return;
    RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
    m_hWnd = nullptr;
}

LRESULT CALLBACK Control::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR reference) {
    auto *self = reinterpret_cast<Control *>(reference);
    if (message == WM_NCDESTROY) {
        self->Detach();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return self->WindowProc(message, wParam, lParam);
}

LRESULT Control::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT Control::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(m_hWnd, message, wParam, lParam);
}

std::wstring WindowText(HWND window) {
    if (!window) return {};
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

std::wstring Control::GetWindowText() const { return WindowText(m_hWnd); }

void Control::SetWindowText(const std::wstring &text) {
    if (m_hWnd) ::SetWindowTextW(m_hWnd, text.c_str());
}

void Control::Invalidate(bool erase) {
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE);
}

void Control::MoveWindow(int left, int top, int width, int height, bool repaint) {
    if (m_hWnd) ::MoveWindow(m_hWnd, left, top, width, height, repaint ? TRUE : FALSE);
}

void Control::ShowWindow(bool show) {
    if (m_hWnd) ::ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
}

bool Control::IsWindowEnabled() const { return m_hWnd && ::IsWindowEnabled(m_hWnd); }

void Control::EnableWindow(bool enable) {
    if (m_hWnd) ::EnableWindow(m_hWnd, enable ? TRUE : FALSE);
}

RECT Control::GetClientRect() const {
    RECT client = {};
    if (m_hWnd) ::GetClientRect(m_hWnd, &client);
    return client;
}

}  // namespace winui
