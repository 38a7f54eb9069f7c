// Program entry: for now one layered window painted from the main background artwork, with the
// control layer's place marked, closed by a click on its close corner, Escape or Alt+F4.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "resource.h"

namespace {

constexpr int kWidth = 410;
constexpr int kHeight = 611;

struct GdiplusSession {
    ULONG_PTR token = 0;
    bool ok = false;
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        ok = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (ok) Gdiplus::GdiplusShutdown(token);
    }
    GdiplusSession(const GdiplusSession &) = delete;
    GdiplusSession &operator=(const GdiplusSession &) = delete;
};

// The bytes stay in their global block for as long as the image lives.
std::unique_ptr<Gdiplus::Image> LoadPng(UINT id) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
    if (!found) return nullptr;
    DWORD size = SizeofResource(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return nullptr;
    CopyMemory(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    IStream *stream = nullptr;
    if (CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        GlobalFree(block);
        return nullptr;
    }
    std::unique_ptr<Gdiplus::Image> image(Gdiplus::Image::FromStream(stream, FALSE));
    stream->Release();
    return image;
}

void Paint(HWND window, Gdiplus::Image &background) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    {
        Gdiplus::Graphics graphics(memory);
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        graphics.DrawImage(&background, 0, 0, kWidth, kHeight);
        Gdiplus::FontFamily family(L"宋体");
        Gdiplus::Font title(&family, 16, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
        Gdiplus::Font body(&family, 14, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
        Gdiplus::SolidBrush ink(Gdiplus::Color(255, 51, 65, 85));
        graphics.DrawString(L"Office 安装助手", -1, &title, Gdiplus::PointF(16, 10), &white);
        graphics.DrawString(L"准备电脑，然后下载并安装 Office。\n按 Esc 或点右上角的 × 关闭。", -1, &body,
                            Gdiplus::PointF(28, 120), &ink);
    }
    POINT source = {0, 0};
    SIZE size = {kWidth, kHeight};
    RECT rect;
    GetWindowRect(window, &rect);
    POINT destination = {rect.left, rect.top};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window, screen, &destination, &size, memory, &source, 0, &blend, ULW_ALPHA);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) DestroyWindow(window);
        return 0;
    case WM_LBUTTONUP: {
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (point.x > kWidth - 40 && point.y < 40) DestroyWindow(window);
        return 0;
    }
    case WM_NCHITTEST: {
        LRESULT hit = DefWindowProcW(window, message, wParam, lParam);
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(window, &point);
        return hit == HTCLIENT && point.y < 40 && point.x < kWidth - 40 ? HTCAPTION : hit;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    GdiplusSession gdiplus;
    if (!gdiplus.ok) return 1;
    std::unique_ptr<Gdiplus::Image> background = LoadPng(IDB_MAIN_BACKGROUND);
    if (!background) return 1;

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    windowClass.lpszClassName = L"HaldenMain";
    if (!RegisterClassExW(&windowClass)) return 1;

    int left = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_APPWINDOW, windowClass.lpszClassName, L"Ostrel",
                                  WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, left, top, kWidth, kHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return 1;
    Paint(window, *background);
    ShowWindow(window, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
