#pragma once
// The background of the main window pair: the program's one top-level window. It owns the control
// layer (COstrelDlg), offers the about box in its system menu, runs the feedback dialog when it is
// closed and removes the program's files when it goes.
#include <windows.h>

#include <memory>

#include "skin/layered_background_dlg.h"

class COstrelDlg;

class CHaldenDlg : public CLayeredBackgroundDlg {
public:
    CHaldenDlg();
    ~CHaldenDlg() override;

    // Starts the hidden removal of the program's shipped files and then of its folder if empty.
    // Always 1: a removal that cannot start leaves the files where they are, silently.
    static int RemoveSelf();

    COstrelDlg *GetOstrel() const;

protected:
    BOOL OnInitDialog() override;
    std::unique_ptr<CControlLayerDlg> MakeChild() override;
    bool PlaceSelf(int width, int height) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

private:
    void OnClose();
    void PaintMinimised();
    void ComeForward();  // for a second copy of the program, which ends

    HICON m_hIcon = nullptr;
    bool m_bFeedbackUp = false;  // the feedback question of the close is up
    bool m_bRemoveSelf = false;  // set once the user closed the tool normally
};
