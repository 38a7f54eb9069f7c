#pragma once
// The please-wait box: an animated status text over the window that opened it while work runs on
// other threads. The user cannot close it; WM_CLOSE_EXECUTE_PROMPT (or RequestClose) does.
#include <atomic>
#include <string>

#include "skin/execute_prompt_child_dlg.h"
#include "skin/layered_background_dlg.h"

class CExecutePromptDlg : public CLayeredBackgroundDlg {
public:
    explicit CExecutePromptDlg(HWND parent = nullptr);
    void SetText(const std::wstring &text) { m_strText = text; }  // before DoModal
    // Changes the shown text while the box is up; does nothing before its layer exists.
    void UpdateText(const std::wstring &text);
    // Closes the box from any thread, also when it is asked before the box's window exists (the
    // work may end before the box has opened): the request is then kept and the next showing
    // closes as soon as it has opened. Closing a showing forgets the request, so one request
    // never closes more than one showing.
    void RequestClose();
    CExecutePromptChildDlg *GetExecuteChild() const { return static_cast<CExecutePromptChildDlg *>(GetChild()); }

protected:
    BOOL OnInitDialog() override;
    std::unique_ptr<CControlLayerDlg> MakeChild() override;
    bool PlaceSelf(int width, int height) override;
    bool SmoothComposition() const override { return true; }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

private:
    void Close();

    std::wstring m_strText;
    std::atomic<bool> m_bCloseRequested{false};
    std::atomic<HWND> m_window{nullptr};  // the box's window for other threads, null when there is none
};
