#pragma once
// The feedback dialog that the main window runs when it closes: did the tool solve the problem?
// DoModal returns once the answer has been reported (or the dialog was closed from outside before
// any answer); its result carries no meaning.
#include "skin/layered_background_dlg.h"
#include "skin/problem_solving_feedback_child_dlg.h"

class CProblemSolvingFeedbackDlg : public CLayeredBackgroundDlg {
public:
    // No parent: the dialog is owned by the application's main window.
    CProblemSolvingFeedbackDlg();
    // Borrowed; null reports nothing and opens no page, the dialog still works.
    void SetReporter(const IFeedbackReporter *reporter) { m_pReporter = reporter; }
    CProblemSolvingFeedbackChildDlg *GetFeedbackChild() const {
        return static_cast<CProblemSolvingFeedbackChildDlg *>(GetChild());
    }

protected:
    BOOL OnInitDialog() override;
    std::unique_ptr<CControlLayerDlg> MakeChild() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

private:
    const IFeedbackReporter *m_pReporter = nullptr;
};
