#include "prompt_child_dlg.h"

#include "skin/paint.h"
#include "skin/resource_ids.h"
#include "skin/skin_messages.h"

CPromptChildDlg::CPromptChildDlg() : CControlLayerDlg(IDD_PROMPT_CHILD, IDB_PROMPT_LAYER, skin::kPromptPair) {}

void CPromptChildDlg::LayoutControls(bool first) {
    RECT clientRect;
    GetClientRect(m_hWnd, &clientRect);
    const skin::PromptLayout layout = skin::LayOutPrompt(skin::FromRECT(clientRect), m_fScale, m_nMode);
    if (first) {
        m_btnClose.Attach(m_hWnd, IDC_BTN_CLOSE);
        m_btnFirst.Attach(m_hWnd, IDC_PROMPT_FIRST);
        m_btnSecond.Attach(m_hWnd, IDC_PROMPT_SECOND);
        m_stcText.Attach(m_hWnd, IDC_PROMPT_TEXT);

        // Only the close button is scaled; the two others draw their whole face at any scale.
        m_btnClose.m_fScale = m_fScale;
        m_btnClose.SetBkImage(m_pBkImage.get());
        m_btnClose.SetBkSourceRect(skin::kPromptCloseSlice.left, skin::kPromptCloseSlice.top,
                                   skin::kPromptCloseSlice.right, skin::kPromptCloseSlice.bottom);
        m_btnClose.LoadStateImages(IDB_PROMPT_CLOSE_NORMAL, IDB_PROMPT_CLOSE_HOVER, IDB_PROMPT_CLOSE_PRESSED,
                                   IDB_PROMPT_CLOSE_PRESSED);
        m_btnFirst.SetBkImage(m_pBkImage.get());
        m_btnFirst.SetBkSourceRect(skin::kPromptFirstSlice.left, skin::kPromptFirstSlice.top,
                                   skin::kPromptFirstSlice.right, skin::kPromptFirstSlice.bottom);
        m_btnSecond.SetBkImage(m_pBkImage.get());
        m_btnSecond.SetBkSourceRect(skin::kPromptSecondSlice.left, skin::kPromptSecondSlice.top,
                                    skin::kPromptSecondSlice.right, skin::kPromptSecondSlice.bottom);
        const skin::FaceIds &a = layout.firstFaces;
        const skin::FaceIds &b = layout.secondFaces;
        m_btnFirst.LoadStateImages(a.normal, a.hover, a.pressed, a.disabled);
        m_btnSecond.LoadStateImages(b.normal, b.hover, b.pressed, b.disabled);
        m_stcText.InitFontFromParent();
    }
    const auto move = [](winui::Control &control, const skin::Rect &rect) {
        control.MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), true);
    };
    move(m_btnClose, layout.close);
    move(m_btnFirst, layout.first);
    move(m_btnSecond, layout.second);
    m_btnFirst.ShowWindow(true);
    m_btnSecond.ShowWindow(layout.secondVisible);
    move(m_stcText, layout.message);
    m_stcText.SetWindowText(m_strText);
}

bool CPromptChildDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        HWND background = GetWindow(m_hWnd, GW_OWNER);
        switch (LOWORD(wParam)) {
        case IDC_PROMPT_FIRST:
            SendMessageW(background, WM_PROMPT_RESULT, 1, 0);
            result = 0;
            return true;
        case IDC_PROMPT_SECOND:
            SendMessageW(background, WM_PROMPT_RESULT, 2, 0);
            result = 0;
            return true;
        case IDC_BTN_CLOSE:
            SendMessageW(background, WM_CLOSE, 0, 0);
            result = 0;
            return true;
        default:
            break;
        }
    }
    return CControlLayerDlg::OnMessage(message, wParam, lParam, result);
}

void CPromptChildDlg::OnDestroyLayer() {
    m_btnClose.ReleaseStateImages();
    m_btnFirst.ReleaseStateImages();
    m_btnSecond.ReleaseStateImages();
}
