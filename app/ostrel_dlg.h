#pragma once
// The control layer of the main window and the view of the workflow (app/workflow.h): it runs the
// start-up checks, holds the controls, feeds the workflow the presses, the workers' and the engine's
// results and the close, and carries out the commands that come back. Workers and the download
// engine's callbacks report to it with private messages sent to its window.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/feedback_service.h"
#include "app/mouse_hook.h"
#include "app/workflow.h"
#include "skin/check_box_btn.h"
#include "skin/control_layer_dlg.h"
#include "skin/draw_png_progress_static.h"
#include "skin/draw_text_static.h"
#include "skin/execute_prompt_dlg.h"
#include "skin/image_button.h"
#include "skin/png_button.h"
#include "sysops/system_ops.h"

constexpr int DOWNLOAD_TASK_ID = 1;

class COstrelDlg : public CControlLayerDlg {
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
    void RunStartupChecks();
    void Refuse(const wchar_t *text);  // prompt, then the process ends
    void OnTimer(UINT_PTR timer);
    void OnLinkClick(POINT client);
    void OnAgreeClicked();
    int ShowPrompt(const wchar_t *text, int mode, HWND owner = nullptr);
    void CloseWaitBox();

    // The workflow's events in, its commands out (ostrel_sequence.cpp).
    void Feed(const Event &event);
    void Carry(const Command &command);
    void OnActionButton();
    static void __cdecl OnDownloadProgress(int taskId, const char *speedText, int percent, void *userData);
    static void __cdecl OnDownloadEnded(int taskId, int endCode, void *userData);

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
    std::wstring m_strMarkerPath;
    Workflow m_workflow;
    CSystemOps m_sysOps;
    std::unique_ptr<CExecutePromptDlg> m_pWaitDlg;
    CFeedbackService m_feedback;
    std::string m_strImageUrl;

    // This window while the engine is bound, for the engine's threads; null once it is let go, and
    // from then on the callbacks do nothing.
    std::atomic<HWND> m_hReportTarget{nullptr};
};
