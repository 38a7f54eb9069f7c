#pragma once
// A page with the main window's controls in every state: the action button in its four faces, the
// progress bar at 0, 50 and 100 %, the check box in its three states and two drawn texts.
#include "skin/check_box_btn.h"
#include "skin/draw_png_progress_static.h"
#include "skin/draw_state_info_static.h"
#include "skin/draw_text_static.h"
#include "skin/image_button.h"
#include "winui/dialog.h"

class CControlsPage : public winui::Dialog {
public:
    explicit CControlsPage(float scale);

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

private:
    float m_fScale;
    winui::ImagePtr m_pBkImage;
    winui::ImagePtr m_pTrackImage;
    winui::ImagePtr m_pFillImage;
    winui::ImagePtr m_pWaitImage;
    winui::Brush m_brPage;
    CImageButton m_buttons[4];
    CDrawPngProgressStatic m_progress[3];
    CCheckBoxBtn m_checks[3];
    CDrawTextStatic m_link;
    CDrawStateInfoStatic m_status;
};
