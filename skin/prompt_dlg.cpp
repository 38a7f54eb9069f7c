#include "prompt_dlg.h"

#include "skin/resource_ids.h"
#include "skin/skin_messages.h"

CPromptDlg::CPromptDlg(HWND parent)
    : CLayeredBackgroundDlg(IDD_PROMPT, IDB_PROMPT_BACKGROUND, skin::kPromptPair, parent) {}

std::unique_ptr<CControlLayerDlg> CPromptDlg::MakeChild() {
    auto child = std::make_unique<CPromptChildDlg>();
    child->SetText(m_strText);
    child->SetMode(m_nMode);
    return child;
}

bool CPromptDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (message == WM_PROMPT_RESULT) {
        EndDialog(wParam == 1 ? IDOK : IDCANCEL);
        result = 0;
        return true;
    }
    return CLayeredBackgroundDlg::OnMessage(message, wParam, lParam, result);
}
