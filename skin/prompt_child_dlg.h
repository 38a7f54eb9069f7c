#pragma once
// The control layer of the prompt: a message and one or two buttons, by mode.
#include <string>

#include "skin/control_layer_dlg.h"
#include "skin/draw_text_static.h"
#include "skin/png_button.h"

class CPromptChildDlg : public CControlLayerDlg {
public:
    CPromptChildDlg();
    void SetText(const std::wstring &text) { m_strText = text; }
    void SetMode(int mode) { m_nMode = mode; }
    void LayoutControls(bool first) override;

    // For inspection by tests and the gallery.
    CPngButton &CloseButton() { return m_btnClose; }
    CPngButton &FirstButton() { return m_btnFirst; }
    CPngButton &SecondButton() { return m_btnSecond; }
    CDrawTextStatic &Message() { return m_stcText; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;
    void OnDestroyLayer() override;

private:
    CPngButton m_btnClose;
    CPngButton m_btnFirst;
    CPngButton m_btnSecond;
    CDrawTextStatic m_stcText;
    std::wstring m_strText;
    int m_nMode = skin::YesOnly;
};
