#include "paint.h"

namespace skin {

RECT ToRECT(const Rect &rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

Rect FromRECT(const RECT &rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

void PrepareGraphics(Gdiplus::Graphics &graphics) {
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
}

void DrawImageSlice(Gdiplus::Graphics &graphics, Gdiplus::Image *image, const Rect &destination, const Rect &source) {
    if (!image || destination.Width() <= 0 || destination.Height() <= 0) return;
    Gdiplus::ImageAttributes attributes;
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    graphics.DrawImage(image, Gdiplus::Rect(destination.left, destination.top, destination.Width(), destination.Height()),
                       source.left, source.top, source.Width(), source.Height(), Gdiplus::UnitPixel, &attributes);
}

float DisplayScale() {
    winui::WindowDC screen(nullptr);
    return ScaleFromLogPixels(screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96);
}

winui::Font FontFromParent(HWND control) {
    HWND parent = control ? GetParent(control) : nullptr;
    HFONT font = parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!font) font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    LOGFONTW description = {};
    if (!font || !GetObjectW(font, sizeof(description), &description)) return winui::Font();
    // Small CJK text drops strokes when drawn without smoothing; ask for grey smoothing, which
    // fonts with hand-made bitmaps at that size ignore.
    description.lfQuality = ANTIALIASED_QUALITY;
    return winui::Font(CreateFontIndirectW(&description));
}

}  // namespace skin
