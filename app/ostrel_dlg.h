#pragma once
// The control layer of the main window and the controller of the whole workflow: the start-up
// checks, the controls, the removal on a first run and the download, mount and setup sequence on
// the run after the restart. Workers and the download engine's callbacks report to it with private
// messages sent to its window.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/feedback_service.h"
#include "app/mouse_hook.h"
#include "skin/check_box_btn.h"
#include "skin/control_layer_dlg.h"
#include "skin/draw_png_progress_static.h"
#include "skin/draw_text_static.h"
#include "skin/execute_prompt_dlg.h"
#include "skin/image_button.h"
#include "skin/png_button.h"
#include "sysops/SystemOps.h"

constexpr int DOWNLOAD_TASK_ID = 1;

class COstrelDlg : public CControlLayerDlg {
public:
    COstrelDlg();
    ~COstrelDlg() override;

    void LayoutControls(bool first) override;

    CFeedbackService &FeedbackService() { return m_feedback; }
    // A removal or installation worker has been started and has not sent its last result.
    bool IsWorkerRunning() const { return m_bWorkerRunning; }
    // Stops following a download under way and closes its please-wait box; true when there was one.
    bool AbandonDownload();
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
    LRESULT OnUninstallResult(WPARAM result);
    int ShowPrompt(const wchar_t *text, int mode, HWND owner = nullptr);
    void RunWaitBox(const wchar_t *text);
    void CloseWaitBox();
    void WriteLog(const std::wstring &text);

    // The download and install sequence (ostrel_sequence.cpp).
    void OnActionButton();
    void ChooseImageDrive();
    // The image's path in the program's own folder on root; empty when no such folder can be made.
    std::string PrepareImageFolder(const std::string &root);
    // A new, empty image file for this attempt; false after telling the user why not.
    bool StartNewImageFile();
    static void __cdecl OnDownloadProgress(int taskId, const char *speedText, int percent, void *userData);
    static void __cdecl OnDownloadEnded(int taskId, int endCode, void *userData);
    LRESULT OnDownloadResult(WPARAM result);
    void MountAndStartSetup();
    LRESULT OnInstallResult(WPARAM result);
    std::wstring WideImagePath() const;

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
    char m_szImagePath[256] = {};
    std::wstring m_strMarkerPath;
    int m_bMarkerFound = 0;
    CSystemOps m_sysOps;
    std::unique_ptr<CExecutePromptDlg> m_pWaitDlg;
    CFeedbackService m_feedback;
    std::string m_strImageUrl;

    // Set on the user-interface thread, read by the engine's threads: once set, callbacks do nothing.
    std::atomic<bool> m_bClosing{false};
    std::atomic<HWND> m_hReportTarget{nullptr};  // this window, for the engine's threads
    bool m_bEngineBound = false;
    bool m_bDownloading = false;
    bool m_bWorkerRunning = false;
};
