#pragma once
// The control layer of the main window and the window's view of the workflow (app/workflow_view.h):
// it runs the start-up checks, holds the controls, and shows what the workflow's host asks it to
// show. Workers and the download engine's ending report to its window with private messages, which
// it passes to the host.
#include <windows.h>

#include <memory>
#include <string>

#include "app/feedback_service.h"
#include "app/mouse_hook.h"
#include "app/host_system.h"
#include "app/main_timers.h"
#include "app/workflow_host.h"
#include "app/workflow_view.h"
#include "skin/check_box_btn.h"
#include "skin/control_layer_dlg.h"
#include "skin/draw_png_progress_static.h"
#include "skin/draw_text_static.h"
#include "skin/execute_prompt_dlg.h"
#include "skin/image_button.h"
#include "skin/png_button.h"

class COstrelDlg : public CControlLayerDlg, private WorkflowView {
public:
    COstrelDlg();
    ~COstrelDlg() override;

    void LayoutControls(bool first) override;

    CFeedbackService &FeedbackService() { return m_feedback; }
    // A close asked for by the person or the session: true when it goes ahead now. Otherwise the
    // work under way ends first, and this window asks its owner for the close again then.
    bool AskToClose();
    // Lets the download engine go now (once): no engine thread and no callback is left afterwards.
    void ShutDownEngine();

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;
    void OnDestroyLayer() override;

private:
    void OnTimer(UINT_PTR timer);
    void OnLinkClick(POINT client);
    void ApplyAgreement();
    int ShowPrompt(const wchar_t *text, int mode, HWND owner = nullptr);
    void OnActionButton();

    // WorkflowView
    void ShowPrompt(Outcome outcome) override;
    RestartAnswer AskRestart(bool officeWasThere) override;
    void RestartChosen() override;
    void RestartStarted() override {}
    void NewWaitBox(const std::wstring &text) override;
    void RunWaitBox() override;
    void SetWaitText(const std::wstring &text) override;
    void CloseWaitBox() override;
    void ShowProgress(bool shown) override;
    void Progress(const char *speedText, int percent) override;
    void DownloadEnded(int, bool) override {}
    void RetryCountdown(const std::wstring &text) override;
    void Tell(const std::wstring &) override {}
    void Settled() override {}
    void RepeatClose() override;

    CDrawTextStatic m_stcTitle;
    CPngButton m_btnClose;
    CPngButton m_btnMin;
    CDrawPngProgressStatic m_stcProgress;
    winui::ImagePtr m_pProgressTrackImg;
    winui::ImagePtr m_pProgressFillImg;
    CImageButton m_btnAction;
    CImageButton m_btnMoreTools;
    CCheckBoxBtn m_chkAgree;
    CDrawTextStatic m_stcAgreement;
    CDrawTextStatic m_stcFeedback;
    CMouseHook m_mouseHook;
    CMainTimers m_timers;
    CHostSystem m_system;
    WorkflowHost m_host{m_system, *this};
    std::unique_ptr<CExecutePromptDlg> m_pWaitDlg;
    CFeedbackService m_feedback;
};
