#include "controls_page.h"

#include "gallery_ids.h"
#include "skin/layout.h"
#include "skin/png_resource.h"
#include "skin/resource_ids.h"

CControlsPage::CControlsPage(float scale)
    : winui::Dialog(IDD_GALLERY_CONTROLS), m_fScale(scale), m_brPage(CreateSolidBrush(RGB(255, 255, 255))) {}

BOOL CControlsPage::OnInitDialog() {
    const float s = m_fScale;
    LoadPngResourceOnce(m_pBkImage, IDB_MAIN_LAYER);
    LoadPngResourceOnce(m_pTrackImage, IDB_PROGRESS_TRACK);
    LoadPngResourceOnce(m_pFillImage, IDB_PROGRESS_FILL);
    const int margin = skin::Scaled(16, s);

    // The action button as it sits on the main window: faces over the slice of the layer it covers.
    const int buttonIds[4] = {IDC_G_BUTTON_NORMAL, IDC_G_BUTTON_HOVER, IDC_G_BUTTON_PRESSED, IDC_G_BUTTON_DISABLED};
    const int states[4] = {skin::Normal, skin::Hover, skin::Pressed, skin::Normal};
    const int bw = skin::Scaled(246, s), bh = skin::Scaled(47, s);
    for (int i = 0; i < 4; ++i) {
        CImageButton &button = m_buttons[i];
        button.Attach(m_hWnd, buttonIds[i]);
        button.SetBkImage(m_pBkImage.get());
        button.SetBkSourceRect(77, 270, 323, 317);
        button.LoadStateImages(IDB_INSTALL_NORMAL, IDB_INSTALL_HOVER, IDB_INSTALL_PRESSED, IDB_INSTALL_DISABLED);
        button.SetState(states[i]);
        button.MoveWindow(margin + (i % 2) * (bw + margin), margin + (i / 2) * (bh + margin), bw, bh);
    }
    m_buttons[3].EnableWindow(false);

    const int percents[3] = {0, 50, 100};
    const int progressIds[3] = {IDC_G_PROGRESS_0, IDC_G_PROGRESS_50, IDC_G_PROGRESS_100};
    const int top = margin + 2 * (bh + margin);
    for (int i = 0; i < 3; ++i) {
        CDrawPngProgressStatic &bar = m_progress[i];
        bar.Attach(m_hWnd, progressIds[i]);
        bar.InitFontFromParent();
        bar.m_fScale = s;
        bar.SetBkImage(m_pBkImage.get());
        bar.SetBkSourceRect(25, 333, 375, 353);
        bar.SetTrackImage(m_pTrackImage.get());
        bar.SetFillImage(m_pFillImage.get());
        bar.SetSpeedText(i == 1 ? L"2.4MB" : L"0.0B");
        bar.SetPos(percents[i]);
        bar.MoveWindow(margin, top + i * skin::Scaled(30, s), skin::Scaled(350, s), skin::Scaled(20, s));
    }

    const int checkIds[3] = {IDC_G_CHECK_ON, IDC_G_CHECK_OFF, IDC_G_CHECK_MIXED};
    const int checkStates[3] = {BST_CHECKED, BST_UNCHECKED, BST_INDETERMINATE};
    const int checkTop = top + 3 * skin::Scaled(30, s) + margin / 2;
    for (int i = 0; i < 3; ++i) {
        m_checks[i].Attach(m_hWnd, checkIds[i]);
        m_checks[i].InitFontFromParent();
        m_checks[i].m_fScale = s;
        m_checks[i].SetCheck(checkStates[i]);
        m_checks[i].MoveWindow(margin + i * skin::Scaled(130, s), checkTop, skin::Scaled(125, s), skin::Scaled(20, s));
    }

    m_link.Attach(m_hWnd, IDC_G_TEXT);
    m_link.InitFontFromParent();
    m_link.SetAlignMode(1);
    m_link.SetTextColors(RGB(92, 92, 255), RGB(0, 0, 255));
    m_link.MoveWindow(margin, checkTop + skin::Scaled(30, s), skin::Scaled(300, s), skin::Scaled(20, s));

    // The please-wait status as it looks on its dark card.
    m_status.Attach(m_hWnd, IDC_G_STATUS);
    m_status.InitFontFromParent();
    m_status.SetAlignMode(2);
    m_status.SetTextColor(RGB(255, 255, 255));
    LoadPngResourceOnce(m_pWaitImage, IDB_WAIT_LAYER);
    m_status.SetBkImage(m_pWaitImage.get());
    m_status.SetBkSourceRect(10, 42, 194, 82);
    m_status.MoveWindow(margin + bw + margin, checkTop + skin::Scaled(30, s), bw, skin::Scaled(40, s));

    RECT window = {0, 0, 2 * margin + 2 * bw + margin, checkTop + skin::Scaled(90, s)};
    AdjustWindowRectEx(&window, GetWindowLongW(m_hWnd, GWL_STYLE), FALSE, GetWindowLongW(m_hWnd, GWL_EXSTYLE));
    SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow();
    return TRUE;
}

bool CControlsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    switch (message) {
    case WM_CTLCOLORDLG:
        result = reinterpret_cast<LRESULT>(m_brPage.Get());
        return true;
    case WM_DESTROY:
        for (CImageButton &button : m_buttons) button.ReleaseStateImages();
        return false;
    default:
        return winui::Dialog::OnMessage(message, wParam, lParam, result);
    }
}
