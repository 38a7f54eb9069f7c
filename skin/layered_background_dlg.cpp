#include "layered_background_dlg.h"

#include "skin/paint.h"
#include "skin/png_resource.h"
#include "skin/skin_messages.h"

CLayeredBackgroundDlg::CLayeredBackgroundDlg(UINT templateId, UINT imageId, const skin::PairGeometry &pair,
                                             HWND parent)
    : winui::Dialog(templateId, parent), m_imageId(imageId), m_pair(pair) {}

CLayeredBackgroundDlg::~CLayeredBackgroundDlg() {
    // The layer is owned by this window: let it go before the window does.
    m_pChild.reset();
}

bool CLayeredBackgroundDlg::PlaceSelf(int, int) { return false; }

BOOL CLayeredBackgroundDlg::OnInitDialog() {
    winui::Dialog::OnInitDialog();
    const skin::Size size = skin::BackgroundSize(m_pair, m_fScale);
    SetWindowPos(m_hWnd, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    if (!LoadPngResourceOnce(m_pBkImage, m_imageId)) return TRUE;  // no content and no layer
    ComposeLayer(size.width, size.height);
    PlaceSelf(size.width, size.height);

    RECT window;
    GetWindowRect(m_hWnd, &window);
    m_pChild = MakeChild();
    m_pChild->m_fScale = m_fScale;
    m_pChild->SetBackground(this);
    if (!m_pChild->Create(m_hWnd)) {
        m_pChild.reset();
        return TRUE;
    }
    const skin::Rect layer = skin::LayerRectInBackground(skin::FromRECT(window), m_pair, m_fScale);
    MoveWindow(m_pChild->GetSafeHwnd(), layer.left, layer.top, layer.Width(), layer.Height(), TRUE);
    return TRUE;
}

void CLayeredBackgroundDlg::ShowOnOpen() {
    // Making the pair and showing it each cost tens of milliseconds (most of it in the display
    // server's hands under Wine): one message apiece keeps every reply of the thread short, as the
    // please-wait box opens in the middle of a click.
    PostMessageW(m_hWnd, WM_SHOW_PAIR, 0, 0);
}

void CLayeredBackgroundDlg::ShowPair() {
    // The layer first, as it is owned by the background and stays above it.
    if (m_pChild && m_pChild->GetSafeHwnd()) ShowWindow(m_pChild->GetSafeHwnd(), SW_SHOW);
    ShowWindow(m_hWnd, SW_SHOW);
}

bool CLayeredBackgroundDlg::ComposeLayer(int width, int height) {
    return skin::UpdateLayeredPicture(m_hWnd, width, height, [&](Gdiplus::Graphics &graphics) {
        if (SmoothComposition()) graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        Gdiplus::ImageAttributes attributes;
        attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        graphics.DrawImage(m_pBkImage.get(), Gdiplus::Rect(0, 0, width, height), 0, 0, ImageWidth(m_pBkImage.get()),
                           ImageHeight(m_pBkImage.get()), Gdiplus::UnitPixel, &attributes);
    });
}

void CLayeredBackgroundDlg::FollowChild(int left, int top, int right, int bottom) {
    m_bChildFollows = 0;
    const skin::Rect around = skin::BackgroundRectAroundLayer({left, top, right, bottom}, m_pair, m_fScale);
    SetWindowPos(m_hWnd, nullptr, around.left, around.top, around.Width(), around.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CLayeredBackgroundDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    switch (message) {
    case WM_MOVE:
        if (m_bChildFollows && m_pChild && m_pChild->GetSafeHwnd()) {
            RECT window;
            GetWindowRect(m_hWnd, &window);
            const skin::Rect layer = skin::LayerRectInBackground(skin::FromRECT(window), m_pair, m_fScale);
            MoveWindow(m_pChild->GetSafeHwnd(), layer.left, layer.top, layer.Width(), layer.Height(), TRUE);
        }
        return false;  // and default handling
    case WM_SHOW_PAIR:
        ShowPair();
        result = 0;
        return true;
    case WM_DESTROY:
        m_pBkImage.reset();
        m_pChild.reset();
        return false;
    default:
        return winui::Dialog::OnMessage(message, wParam, lParam, result);
    }
}
