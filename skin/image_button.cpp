#include "image_button.h"

#include "skin/paint.h"
#include "skin/png_resource.h"
#include "winui/reflect.h"

BOOL CImageButton::IsCursorInside() const {
    POINT cursor;
    if (!m_hWnd || !GetCursorPos(&cursor) || !ScreenToClient(m_hWnd, &cursor)) return FALSE;
    return skin::InsideHitInsets(skin::FromRECT(GetClientRect()), m_rcHitInsets, cursor.x, cursor.y) ? TRUE : FALSE;
}

bool CImageButton::AcceptsPoint(POINT point) const {
    return skin::FromRECT(GetClientRect()).Contains(point.x, point.y);
}

void CImageButton::Render(HDC target, bool withFace) {
    if (!target) return;
    m_rcClient = skin::FromRECT(GetClientRect());
    winui::Canvas canvas(target, m_rcClient.Width(), m_rcClient.Height());
    if (!canvas.Ok()) return;
    const RECT fill = skin::ToRECT(m_rcClient);
    FillRect(canvas.Dc(), &fill, m_brBk.Get());
    SetBkMode(canvas.Dc(), TRANSPARENT);
    {
        Gdiplus::Graphics graphics(canvas.Dc());
        skin::PrepareGraphics(graphics);
        if (m_pBkImage) skin::DrawImageSlice(graphics, m_pBkImage, m_rcClient, m_rcBkSource);
        Gdiplus::Image *face = withFace && HasAllFaces() ? FaceImage() : nullptr;
        if (face) {
            skin::DrawImageSlice(graphics, face, m_rcClient, {0, 0, ImageWidth(face), ImageHeight(face)});
        }
    }
    canvas.CopyTo(target);
}

LRESULT CImageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case winui::kReflectDrawItem: {
        const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        if (item && HasAllFaces()) Render(item->hDC, true);
        return TRUE;
    }
    case WM_ERASEBKGND:
        Render(reinterpret_cast<HDC>(wParam), true);
        return TRUE;
    default:
        return CStateImageButton::WindowProc(message, wParam, lParam);
    }
}
