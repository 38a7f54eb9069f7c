#include "state_image_button.h"

#include "skin/paint.h"
#include "skin/png_resource.h"

CStateImageButton::CStateImageButton() : m_brBk(CreateSolidBrush(RGB(255, 255, 255))) {}

void CStateImageButton::LoadStateImages(UINT normal, UINT hover, UINT pressed, UINT disabled) {
    LoadPngResourceOnce(m_pImgNormal, normal);
    LoadPngResourceOnce(m_pImgHover, hover);
    LoadPngResourceOnce(m_pImgPressed, pressed);
    LoadPngResourceOnce(m_pImgDisabled, disabled);
}

void CStateImageButton::ReleaseStateImages() {
    m_pImgNormal.reset();
    m_pImgHover.reset();
    m_pImgPressed.reset();
    m_pImgDisabled.reset();
}

Gdiplus::Image *CStateImageButton::FaceImage() const {
    switch (skin::ChooseFace(IsWindowEnabled(), m_nState)) {
    case skin::Face::Normal: return m_pImgNormal.get();
    case skin::Face::Hover: return m_pImgHover.get();
    case skin::Face::Pressed: return m_pImgPressed.get();
    case skin::Face::Disabled: return m_pImgDisabled.get();
    case skin::Face::None: break;
    }
    return nullptr;
}

void CStateImageButton::DrawBackground(Gdiplus::Graphics &graphics, HDC dc, const skin::Rect &target) const {
    if (m_pBkImage) {
        skin::DrawImageSlice(graphics, m_pBkImage, target, m_rcBkSource);
    } else {
        const RECT fill = skin::ToRECT(target);
        FillRect(dc, &fill, m_brBk.Get());
    }
}

void CStateImageButton::MoveToState(int state) {
    if (m_nState == state) return;
    m_nState = state;
    Invalidate(true);
}

LRESULT CStateImageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message) {
    case WM_MOUSEMOVE: {
        const LRESULT result = Default(message, wParam, lParam);
        if (IsWindowEnabled() && !m_bTracking) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, m_hWnd, 10};
            if (TrackMouseEvent(&track)) m_bTracking = 1;
        }
        return result;
    }
    case WM_MOUSEHOVER:
    case WM_LBUTTONUP:
        if (IsWindowEnabled() && AcceptsPoint(point)) MoveToState(skin::Hover);
        return Default(message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second press is still a press
        if (IsWindowEnabled() && AcceptsPoint(point)) MoveToState(skin::Pressed);
        return Default(message, wParam, lParam);
    case WM_MOUSELEAVE: {
        const LRESULT result = Default(message, wParam, lParam);
        if (IsWindowEnabled()) MoveToState(skin::Normal);
        m_bTracking = 0;
        return result;
    }
    default:
        return Default(message, wParam, lParam);
    }
}
