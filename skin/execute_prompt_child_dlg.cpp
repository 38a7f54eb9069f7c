#include "execute_prompt_child_dlg.h"

#include "skin/paint.h"
#include "skin/resource_ids.h"

CExecutePromptChildDlg::CExecutePromptChildDlg()
    : CControlLayerDlg(IDD_EXECUTE_PROMPT_CHILD, IDB_WAIT_LAYER, skin::kExecutePromptPair) {}

void CExecutePromptChildDlg::UpdateText(const std::wstring &text) {
    m_strText = text;
    // The same rule as the layout: a box never shows an empty or one-character status.
    m_stcStatus.SetWindowText(skin::ExecutePromptText(m_strText));
}

void CExecutePromptChildDlg::LayoutControls(bool first) {
    if (first) m_stcStatus.Attach(m_hWnd, IDC_STATUS_TEXT);
    m_stcStatus.SetWindowText(skin::ExecutePromptText(m_strText));
    m_stcStatus.SetAlignMode(5);
    m_stcStatus.SetTextColor(RGB(255, 255, 255));
    RECT clientRect;
    GetClientRect(m_hWnd, &clientRect);
    const skin::Rect status = skin::ExecutePromptStatusRect(skin::FromRECT(clientRect), m_fScale);
    if (first) {
        m_stcStatus.SetBkImage(m_pBkImage.get());
        m_stcStatus.InitFontFromParent();
        m_stcStatus.StartAnimation();
    }
    const skin::Rect &slice = skin::kExecutePromptStatusSlice;
    m_stcStatus.SetBkSourceRect(slice.left, slice.top, slice.right, slice.bottom);
    m_stcStatus.MoveWindow(status.left, status.top, status.Width(), status.Height(), true);
}

void CExecutePromptChildDlg::OnDestroyLayer() { m_stcStatus.ResetDots(); }
