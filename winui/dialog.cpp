#include "dialog.h"

#include "application.h"
#include "reflect.h"

namespace winui {

namespace {

const wchar_t kDialogProperty[] = L"winui.Dialog";

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

// The next window up: the parent of a child, the owner of a top-level window.
HWND Up(HWND window) {
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) return GetParent(window);
    return GetWindow(window, GW_OWNER);
}

}  // namespace

Dialog::Dialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

Dialog::~Dialog() {
    if (m_hWnd) DestroyWindow(m_hWnd);
}

Dialog *Dialog::FromHandle(HWND window) {
    return window ? static_cast<Dialog *>(GetPropW(window, kDialogProperty)) : nullptr;
}

HWND Dialog::ResolveOwner() const {
    HWND owner = m_parent ? m_parent : Application::MainWindow();
    if (!owner) return nullptr;
    // As a system message box would: over the most recent popup of that window, so that a prompt
    // opened while another box is up stays above that box.
    HWND root = GetAncestor(owner, GA_ROOT);
    HWND popup = GetLastActivePopup(root ? root : owner);
    return popup && IsWindowVisible(popup) ? popup : owner;
}

INT_PTR Dialog::DoModal() {
    HWND owner = ResolveOwner();
    m_modal = true;
    m_ended = false;
    m_result = -1;
    if (!CreateDialogParamW(Application::ResourceInstance(), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this))) {
        m_modal = false;
        return -1;
    }
    // EnableWindow returns nonzero when the window was already disabled: only undo what we did.
    const bool disabledOwner = owner && !EnableWindow(owner, FALSE);
    if (!m_ended) ShowOnOpen();

    m_modalRunning = true;
    MSG message;
    while (!m_ended && m_hWnd) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // the outer loop must see it too
            break;
        }
        if (PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    m_modalRunning = false;

    if (disabledOwner) EnableWindow(owner, TRUE);
    if (owner && m_hWnd && GetActiveWindow() == m_hWnd) SetActiveWindow(owner);
    if (m_hWnd) DestroyWindow(m_hWnd);
    m_modal = false;
    return m_result;
}

bool Dialog::Create(HWND owner) {
    m_modal = false;
    return CreateDialogParamW(Application::ResourceInstance(), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
    if (!m_modal) return;
    m_result = result;
    m_ended = true;
    // The loop may be asleep in GetMessage while this runs inside a sent message.
    if (m_hWnd) PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

bool Dialog::PreTranslate(const MSG &message) {
    for (HWND window = message.hwnd; window; window = Up(window)) {
        if (Dialog *dialog = FromHandle(window)) {
            if (dialog->PreTranslateMessage(message)) return true;
        }
    }
    return false;
}

bool Dialog::PreTranslateMessage(const MSG &message) {
    return message.message == WM_KEYDOWN && (message.wParam == VK_ESCAPE || message.wParam == VK_RETURN);
}

bool Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    (void)wParam;
    (void)lParam;
    switch (message) {
    case WM_CLOSE:
        // A modal dialog closes with IDCANCEL; a modeless layer is closed only by its owner.
        if (m_modal) EndDialog(IDCANCEL);
        result = 0;
        return true;
    case WM_COMMAND:
        // IDOK and IDCANCEL only come from the keyboard here, and the keyboard confirms nothing.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}

void Dialog::CenterWindow() {
    RECT window;
    if (!GetWindowRect(m_hWnd, &window)) return;
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT over = area;
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &over);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int left = over.left + (over.right - over.left - width) / 2;
    int top = over.top + (over.bottom - over.top - height) / 2;
    // Keep the whole dialog on the work area.
    if (left + width > area.right) left = area.right - width;
    if (top + height > area.bottom) top = area.bottom - height;
    if (left < area.left) left = area.left;
    if (top < area.top) top = area.top;
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog *self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog *>(lParam);
        self->m_hWnd = window;
        SetPropW(window, kDialogProperty, self);
    } else {
        self = FromHandle(window);
    }
    if (!self) return FALSE;

    if (message == WM_NCDESTROY) {
        RemovePropW(window, kDialogProperty);
        self->m_hWnd = nullptr;
        return FALSE;
    }
    return self->Dispatch(message, wParam, lParam);
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        RECT before = {};
        GetWindowRect(m_hWnd, &before);
        const BOOL focusDefault = OnInitDialog();
        RECT after = {};
        // A modal dialog that did not place itself goes over its owner, as system dialogs do.
        if (m_hWnd && m_modal && GetWindowRect(m_hWnd, &after) && after.left == before.left &&
            after.top == before.top) {
            CenterWindow();
        }
        return focusDefault;
    }
    // Owner-drawn controls draw themselves: the item's own window gets the drawing request.
    if (message == WM_DRAWITEM) {
        auto *item = reinterpret_cast<DRAWITEMSTRUCT *>(lParam);
        if (item && item->CtlType != ODT_MENU && item->hwndItem) {
            const LRESULT drawn = SendMessageW(item->hwndItem, kReflectDrawItem, wParam, lParam);
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, drawn);
            return TRUE;
        }
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) return FALSE;
    if (ReturnsDirectly(message)) return static_cast<INT_PTR>(result);
    if (m_hWnd) SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace winui
