#pragma once
// What the skin tests share: pumping messages until a condition holds, real mouse input, running a
// script inside a modal loop, and reading pixels of what a control or image draws.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <vector>

#include "winui/dialog.h"

// Dispatches messages until done() holds or timeoutMs passes; false on timeout.
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs = 5000);
// Dispatches what is queued now (and what that queues) without waiting.
void PumpPending();

// Real input through the system's input queue.
void MoveCursorTo(int x, int y);
void PressLeft();
void ReleaseLeft();
// Releases the button with the cursor at (x, y) in the same event, so that nothing moves after it.
void ReleaseLeftAt(int x, int y);
void PressKey(WORD key);

// Runs script once the modal loop of dialog is running (from a timer of that loop), then returns
// what DoModal returned. A watchdog ends a dialog still open after timeoutMs with -2.
INT_PTR RunModal(winui::Dialog &dialog, const std::function<void()> &script, DWORD timeoutMs = 10000);

struct Rgb {
    int r = 0, g = 0, b = 0;
};
bool Near(Rgb a, Rgb b, int tolerance = 6);

// A 32-bit picture to draw into and read back.
class Pixels {
public:
    Pixels(int width, int height, COLORREF fill = RGB(255, 0, 255));
    ~Pixels();
    Pixels(const Pixels &) = delete;
    Pixels &operator=(const Pixels &) = delete;
    HDC Dc() const { return m_dc; }
    Rgb At(int x, int y) const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    unsigned char *m_bits = nullptr;
};

// A PNG resource drawn 1:1 on black; alpha read separately.
struct ImagePixels {
    int width = 0;
    int height = 0;
    std::vector<unsigned> argb;  // 0xAARRGGBB, straight alpha
    Rgb At(int x, int y) const;
    int AlphaAt(int x, int y) const;
};
bool ReadPng(UINT id, ImagePixels &out);

// Centre of a window's rectangle on screen.
POINT ScreenCentre(HWND window);
RECT ScreenRect(HWND window);
