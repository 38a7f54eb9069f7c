#pragma once
// The about box of the system menu: an ordinary system dialog, closed by its button, Enter or
// Escape.
#include "winui/dialog.h"

class CAboutDlg : public winui::Dialog {
public:
    CAboutDlg();
    bool PreTranslateMessage(const MSG &message) override;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;
};
