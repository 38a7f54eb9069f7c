// Program entry: for now one layered window painted from the main background artwork, closed by a
// click on its close corner, Escape or Alt+F4. The main window pair replaces it.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "resource.h"
#include "skin/paint.h"
#include "skin/png_resource.h"
#include "winui/gdi_guards.h"

namespace {

constexpr int kWidth = 410;
constexpr int kHeight = 611;
constexpr int kCloseCorner = 40;

bool Paint(HWND window, Gdiplus::Image *background) {
    return skin::UpdateLayeredPicture(window, kWidth, kHeight, [&](Gdiplus::Graphics &graphics) {
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        graphics.DrawImage(background, 0, 0, kWidth, kHeight);
        Gdiplus::FontFamily family(L"宋体");
        Gdiplus::Font title(&family, 16, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
        Gdiplus::Font body(&family, 14, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
        Gdiplus::SolidBrush ink(Gdiplus::Color(255, 51, 65, 85));
        graphics.DrawString(L"Office 安装助手", -1, &title, Gdiplus::PointF(16, 10), &white);
        graphics.DrawString(L"准备电脑，然后下载并安装 Office。\n按 Esc 或点右上角的 × 关闭。", -1, &body,
                            Gdiplus::PointF(28, 120), &ink);
    });
}

POINT ClientPoint(HWND window, LPARAM lParam, bool screenCoordinates) {
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (screenCoordinates) ScreenToClient(window, &point);
    return point;
}

bool InCloseCorner(POINT point) { return point.x > kWidth - kCloseCorner && point.y < kCloseCorner; }

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) DestroyWindow(window);
        return 0;
    case WM_LBUTTONUP:
        if (InCloseCorner(ClientPoint(window, lParam, false))) DestroyWindow(window);
        return 0;
    case WM_NCHITTEST: {
        LRESULT hit = DefWindowProcW(window, message, wParam, lParam);
        POINT point = ClientPoint(window, lParam, true);
        return hit == HTCLIENT && point.y < kCloseCorner && !InCloseCorner(point) ? HTCAPTION : hit;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    winui::GdiplusSession gdiplus;
    if (!gdiplus.Ok()) return 1;
    winui::ImagePtr background;
    if (!LoadPngResourceOnce(background, IDB_MAIN_BACKGROUND)) return 1;

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
    if (!window || !Paint(window, background.get())) return 1;
    ShowWindow(window, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
