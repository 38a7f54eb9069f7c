#include "test_support.h"

#include <cstdlib>
#include <memory>

#include "skin/png_resource.h"
#include "tests/win/desktop_input.h"

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

namespace {

std::function<void()> *g_script = nullptr;
winui::Dialog *g_dialog = nullptr;

void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_script) {
        std::function<void()> script = *g_script;
        g_script = nullptr;
        script();
    }
}

void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_dialog && g_dialog->IsModalRunning()) g_dialog->EndDialog(-2);
}

}  // namespace

void MoveCursorTo(int x, int y) {
    SetCursorPos(x, y);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
}

void PressLeft() { SendMouse(MOUSEEVENTF_LEFTDOWN); }

void ReleaseLeft() { SendMouse(MOUSEEVENTF_LEFTUP); }

void ReleaseLeftAt(int x, int y) { SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, x, y); }

void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

INT_PTR RunModal(winui::Dialog &dialog, const std::function<void()> &script, DWORD timeoutMs) {
    std::function<void()> copy = script;
    g_script = &copy;
    g_dialog = &dialog;
    // Timers fire only from a running message loop: the dialog's own.
    const UINT_PTR start = SetTimer(nullptr, 0, 50, RunScript);
    const UINT_PTR watchdog = SetTimer(nullptr, 0, timeoutMs, Watchdog);
    const INT_PTR result = dialog.DoModal();
    KillTimer(nullptr, start);
    KillTimer(nullptr, watchdog);
    g_script = nullptr;
    g_dialog = nullptr;
    return result;
}

bool Near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

Pixels::Pixels(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    void *bits = nullptr;
    m_bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    m_bits = static_cast<unsigned char *>(bits);
    m_previous = SelectObject(m_dc, m_bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(m_dc, &all, brush);
    DeleteObject(brush);
}

Pixels::~Pixels() {
    SelectObject(m_dc, m_previous);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
}

Rgb Pixels::At(int x, int y) const {
    GdiFlush();
    const unsigned char *p = m_bits + (static_cast<size_t>(y) * m_width + x) * 4;
    return {p[2], p[1], p[0]};
}

bool ReadPng(UINT id, ImagePixels &out) {
    Gdiplus::Image *raw = nullptr;
    if (!LoadPngResource(&raw, id)) return false;
    std::unique_ptr<Gdiplus::Image> image(raw);
    out.width = static_cast<int>(image->GetWidth());
    out.height = static_cast<int>(image->GetHeight());
    if (out.width <= 0 || out.height <= 0) return false;
    out.argb.assign(static_cast<size_t>(out.width) * out.height, 0);
    Gdiplus::Bitmap canvas(out.width, out.height, out.width * 4, PixelFormat32bppARGB,
                           reinterpret_cast<BYTE *>(out.argb.data()));
    Gdiplus::Graphics graphics(&canvas);
    graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    graphics.DrawImage(image.get(), 0, 0, out.width, out.height);
    return true;
}

Rgb ImagePixels::At(int x, int y) const {
    const unsigned v = argb[static_cast<size_t>(y) * width + x];
    return {static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF)};
}

int ImagePixels::AlphaAt(int x, int y) const {
    return static_cast<int>(argb[static_cast<size_t>(y) * width + x] >> 24);
}

RECT ScreenRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

POINT ScreenCentre(HWND window) {
    const RECT rect = ScreenRect(window);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}
