#pragma once
// The prompt: a message with one or two image buttons, in place of the system message box.
// DoModal returns IDOK for the first button, IDCANCEL for the second or the close button.
#include <string>

#include "skin/layered_background_dlg.h"
#include "skin/prompt_child_dlg.h"

class CPromptDlg : public CLayeredBackgroundDlg {
public:
    // No parent: the prompt is owned by the application's main window.
    explicit CPromptDlg(HWND parent = nullptr);
    void SetText(const std::wstring &text) { m_strText = text; }
    void SetMode(int mode) { m_nMode = mode; }
    CPromptChildDlg *GetPromptChild() const { return static_cast<CPromptChildDlg *>(GetChild()); }

protected:
    std::unique_ptr<CControlLayerDlg> MakeChild() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

private:
    std::wstring m_strText;
    int m_nMode = skin::YesOnly;
};
