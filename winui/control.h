#pragma once
// A control of a dialog template, subclassed into one of our control classes by its id. The
// subclass finds the object through its reference data and lets go at WM_NCDESTROY.
#include <windows.h>

#include <string>

namespace winui {

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    // Binds the control with this id in dialog; false if there is none or it is already bound.
    bool Attach(HWND dialog, int id);
    void Detach();

    HWND GetSafeHwnd() const { return m_hWnd; }
    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring &text);
    void Invalidate(bool erase = true);
    void MoveWindow(int left, int top, int width, int height, bool repaint = true);
    void ShowWindow(bool show);
    bool IsWindowEnabled() const;
    void EnableWindow(bool enable);
    RECT GetClientRect() const;

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR reference);
};

// The text of any window, read through WM_GETTEXT so that it also works across processes.
std::wstring WindowText(HWND window);

}  // namespace winui
