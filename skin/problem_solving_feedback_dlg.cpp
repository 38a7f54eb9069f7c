#include "problem_solving_feedback_dlg.h"

#include "skin/paint.h"
#include "skin/resource_ids.h"

CProblemSolvingFeedbackDlg::CProblemSolvingFeedbackDlg()
    : CLayeredBackgroundDlg(IDD_FEEDBACK, IDB_FEEDBACK_BACKGROUND, skin::kFeedbackPair, nullptr) {}

BOOL CProblemSolvingFeedbackDlg::OnInitDialog() {
    SetWindowTextW(m_hWnd, L"Ostrel");
    m_fScale = skin::DisplayScale();
    return CLayeredBackgroundDlg::OnInitDialog();
}

std::unique_ptr<CControlLayerDlg> CProblemSolvingFeedbackDlg::MakeChild() {
    auto child = std::make_unique<CProblemSolvingFeedbackChildDlg>();
    child->SetReporter(m_pReporter);
    return child;
}

bool CProblemSolvingFeedbackDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (message == WM_CLOSE) {
        // A close from outside (Alt+F4, a session end) while an answer is being reported waits for
        // the report's worker, which closes the dialog itself.
        const CProblemSolvingFeedbackChildDlg *child = GetFeedbackChild();
        if (child && child->IsReporting()) {
            result = 0;
            return true;
        }
    }
    return CLayeredBackgroundDlg::OnMessage(message, wParam, lParam, result);
}
