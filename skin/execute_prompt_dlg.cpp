#include "execute_prompt_dlg.h"

#include "skin/paint.h"
#include "skin/resource_ids.h"
#include "sysops/private_messages.h"

CExecutePromptDlg::CExecutePromptDlg(HWND parent)
    : CLayeredBackgroundDlg(IDD_EXECUTE_PROMPT, IDB_WAIT_BACKGROUND, skin::kExecutePromptPair, parent) {}

void CExecutePromptDlg::UpdateText(const std::wstring &text) {
    CExecutePromptChildDlg *child = GetExecuteChild();
    if (child && child->GetSafeHwnd()) child->UpdateText(text);
}

void CExecutePromptDlg::RequestClose() {
    // Flag first, window second: if the window appears in between, its initialisation sees the flag.
    m_bCloseRequested = true;
    HWND window = m_window.load();
    if (window) SendMessageW(window, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
}

BOOL CExecutePromptDlg::OnInitDialog() {
    m_window = m_hWnd;
    const BOOL result = CLayeredBackgroundDlg::OnInitDialog();
    if (m_bCloseRequested) Close();
    return result;
}

std::unique_ptr<CControlLayerDlg> CExecutePromptDlg::MakeChild() {
    auto child = std::make_unique<CExecutePromptChildDlg>();
    child->SetText(m_strText);
    return child;
}

bool CExecutePromptDlg::PlaceSelf(int width, int height) {
    HWND owner = GetParent(m_hWnd);
    RECT ownerRect;
    if (!owner || !GetWindowRect(owner, &ownerRect)) return false;
    const skin::Rect place = skin::ExecutePromptPlacement(skin::FromRECT(ownerRect), m_fScale);
    SetWindowPos(m_hWnd, nullptr, place.left, place.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CExecutePromptDlg::Close() {
    m_bCloseRequested = false;
    if (CExecutePromptChildDlg *child = GetExecuteChild()) child->StopAnimation();
    EndDialog(IDOK);
}

bool CExecutePromptDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    switch (message) {
    case WM_CLOSE_EXECUTE_PROMPT:
        Close();
        result = 0;
        return true;
    case WM_CLOSE:
        result = 0;  // the user cannot close the box
        return true;
    case WM_DESTROY:
        m_window = nullptr;
        return CLayeredBackgroundDlg::OnMessage(message, wParam, lParam, result);
    default:
        return CLayeredBackgroundDlg::OnMessage(message, wParam, lParam, result);
    }
}
