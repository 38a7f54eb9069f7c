#include "paint.h"

namespace skin {

RECT ToRECT(const Rect &rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

Rect FromRECT(const RECT &rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

void PrepareGraphics(Gdiplus::Graphics &graphics) {
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
}

// GDI+ draws straight into a bitmap over the DIB's bits; drawing through an HDC would lose the alpha
// channel that UpdateLayeredWindow needs.
bool UpdateLayeredPicture(HWND window, int width, int height, const std::function<void(Gdiplus::Graphics &)> &draw) {
    winui::WindowDC screen(nullptr);
    winui::MemoryDC memory(screen.Get());
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as GDI+ expects its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    winui::Bitmap bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory.Get() || !bitmap || !bits) return false;
    {
        Gdiplus::Bitmap canvas(width, height, width * 4, PixelFormat32bppPARGB, static_cast<BYTE *>(bits));
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        draw(graphics);
    }
    winui::Selection selected(memory.Get(), bitmap.Get());
    RECT rect;
    GetWindowRect(window, &rect);
    POINT destination = {rect.left, rect.top};
    SIZE extent = {width, height};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return UpdateLayeredWindow(window, screen.Get(), &destination, &extent, memory.Get(), &source, 0, &blend,
                               ULW_ALPHA) != FALSE;
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
