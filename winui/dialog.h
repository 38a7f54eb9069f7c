#pragma once
// A dialog created from a template: run modally by its own message loop (so that keyboard messages
// pass its pre-translation first) or created modeless with an owner. One dialog procedure for all
// dialogs finds the object at WM_INITDIALOG and forgets it at WM_NCDESTROY.
#include <windows.h>

namespace winui {

class Dialog {
public:
    // parent: the owner of a modal run; null means the application's main window (if any).
    explicit Dialog(UINT templateId, HWND parent = nullptr);
    virtual ~Dialog();  // destroys the window if it still exists
    Dialog(const Dialog &) = delete;
    Dialog &operator=(const Dialog &) = delete;

    // Runs the dialog until EndDialog; returns its result, or -1 if the window could not be made.
    INT_PTR DoModal();
    // Creates the dialog modeless, owned by owner, not shown. False if the window could not be made.
    bool Create(HWND owner);
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    bool IsModalRunning() const { return m_modalRunning; }

    // The dialog object of one of our dialog windows, or null for any other window.
    static Dialog *FromHandle(HWND window);

    // Called for every queued message bound for this dialog or a window inside it while one of our
    // modal loops runs; true swallows the message. The base swallows Escape and Enter, which never
    // close, confirm or activate anything in this program's dialogs.
    virtual bool PreTranslateMessage(const MSG &message);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // Shows a modal dialog once it is made. A dialog whose showing is costly may post itself the
    // work instead, so that the message that opened it returns first.
    virtual void ShowOnOpen() { ShowWindow(m_hWnd, SW_SHOW); }
    // One handler table per dialog type. Return true when handled; result is the message's result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);

    // Centres the window over its owner, or on the work area when it has none or the owner is hidden.
    void CenterWindow();

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    static bool PreTranslate(const MSG &message);
    HWND ResolveOwner() const;

    UINT m_templateId;
    HWND m_parent;
    bool m_modal = false;
    bool m_modalRunning = false;
    bool m_ended = false;
    INT_PTR m_result = -1;
};

}  // namespace winui
