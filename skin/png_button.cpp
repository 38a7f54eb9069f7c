#include "png_button.h"

#include "skin/paint.h"
#include "skin/png_resource.h"
#include "winui/reflect.h"

void CPngButton::Render(HDC target) {
    if (!HasAllFaces() || !target) return;
    const skin::Rect client = skin::FromRECT(GetClientRect());
    winui::Canvas canvas(target, client.Width(), client.Height());
    if (!canvas.Ok()) return;
    {
        Gdiplus::Graphics graphics(canvas.Dc());
        skin::PrepareGraphics(graphics);
        DrawBackground(graphics, canvas.Dc(), client);
        Gdiplus::Image *face = FaceImage();
        if (face) {
            const skin::Rect source = skin::PngButtonFaceSource(ImageWidth(face), ImageHeight(face), m_fScale);
            skin::DrawImageSlice(graphics, face, client, source);
        }
    }
    canvas.CopyTo(target);
}

LRESULT CPngButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == winui::kReflectDrawItem) {
        const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        if (item) Render(item->hDC);
        return TRUE;
    }
    return CStateImageButton::WindowProc(message, wParam, lParam);
}
