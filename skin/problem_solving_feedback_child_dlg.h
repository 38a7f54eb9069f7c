#pragma once
// The control layer of the feedback dialog: the question whether the tool solved the user's problem,
// the answers 已解决 and 未解决, 更多方案 and the close button. An answer (the close button counts as
// one) is reported through the program's reporter on a worker thread while the please-wait box shows;
// the worker's last act is to tell this layer, which closes the box and the dialog.
#include <memory>

#include "skin/control_layer_dlg.h"
#include "skin/execute_prompt_dlg.h"
#include "skin/feedback_reporter.h"
#include "skin/image_button.h"
#include "skin/png_button.h"

class CProblemSolvingFeedbackChildDlg : public CControlLayerDlg {
public:
    CProblemSolvingFeedbackChildDlg();
    ~CProblemSolvingFeedbackChildDlg() override;

    void SetReporter(const IFeedbackReporter *reporter) { m_pReporter = reporter; }
    void LayoutControls(bool first) override;
    // While a report is under way the dialog ends only when its worker has finished.
    bool IsReporting() const { return m_bReporting; }

    // For inspection by tests and the gallery.
    CPngButton &CloseButton() { return m_btnClose; }
    CImageButton &SolvedButton() { return m_btnSolved; }
    CImageButton &UnsolvedButton() { return m_btnUnsolved; }
    CImageButton &MoreSolutionsButton() { return m_btnMore; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;
    void OnDestroyLayer() override;

private:
    void OnAnswer(int buttonId);
    void OnReported();

    RECT m_rcClient = {};
    CPngButton m_btnClose;
    CImageButton m_btnSolved;
    CImageButton m_btnUnsolved;
    CImageButton m_btnMore;
    const IFeedbackReporter *m_pReporter = nullptr;  // borrowed
    std::unique_ptr<CExecutePromptDlg> m_pWaitDlg;
    bool m_bReporting = false;
};
