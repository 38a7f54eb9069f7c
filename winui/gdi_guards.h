#pragma once
// Move-only owners for GDI handles, device contexts, selections and the GDI+ session, so that every
// paint path cleans up on every return.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <utility>

namespace winui {

// Deletes a GDI object (bitmap, font, brush, pen) it owns. Never holds a stock object.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject &&other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    GdiObject &operator=(GdiObject &&other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    GdiObject(const GdiObject &) = delete;
    GdiObject &operator=(const GdiObject &) = delete;

    void Reset(Handle handle = nullptr) {
        if (m_handle) DeleteObject(m_handle);
        m_handle = handle;
    }
    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    Handle m_handle = nullptr;
};
using Bitmap = GdiObject<HBITMAP>;
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;

// A memory DC compatible with another DC; deleted on destruction.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : m_dc(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() {
        if (m_dc) DeleteDC(m_dc);
    }
    MemoryDC(MemoryDC &&other) noexcept : m_dc(std::exchange(other.m_dc, nullptr)) {}
    MemoryDC(const MemoryDC &) = delete;
    MemoryDC &operator=(const MemoryDC &) = delete;
    MemoryDC &operator=(MemoryDC &&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

// GetDC / ReleaseDC of a window (the screen for a null window).
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDC() {
        if (m_dc) ReleaseDC(m_window, m_dc);
    }
    WindowDC(const WindowDC &) = delete;
    WindowDC &operator=(const WindowDC &) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND window) : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~PaintDC() { EndPaint(m_window, &m_paint); }
    PaintDC(const PaintDC &) = delete;
    PaintDC &operator=(const PaintDC &) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc = nullptr;
};

// Selects an object into a DC and selects the previous one back on destruction.
class Selection {
public:
    Selection() = default;
    Selection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() { Restore(); }
    Selection(Selection &&other) noexcept
        : m_dc(std::exchange(other.m_dc, nullptr)), m_previous(std::exchange(other.m_previous, nullptr)) {}
    Selection &operator=(Selection &&other) noexcept {
        if (this != &other) {
            Restore();
            m_dc = std::exchange(other.m_dc, nullptr);
            m_previous = std::exchange(other.m_previous, nullptr);
        }
        return *this;
    }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

    void Restore() {
        if (m_dc && m_previous) SelectObject(m_dc, m_previous);
        m_dc = nullptr;
        m_previous = nullptr;
    }

private:
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

// An off-screen picture of a given size, compatible with a target DC, copied to it in one BitBlt.
// Members are destroyed in reverse order: the bitmap is selected out before it and the DC go.
class Canvas {
public:
    Canvas(HDC compatibleWith, int width, int height)
        : m_dc(compatibleWith), m_width(width), m_height(height) {
        if (!m_dc.Get() || width <= 0 || height <= 0) return;
        m_bitmap.Reset(CreateCompatibleBitmap(compatibleWith, width, height));
        if (m_bitmap) m_selection = Selection(m_dc.Get(), m_bitmap.Get());
    }
    bool Ok() const { return m_dc.Get() && m_bitmap; }
    HDC Dc() const { return m_dc.Get(); }
    void CopyTo(HDC target) const {
        if (Ok()) BitBlt(target, 0, 0, m_width, m_height, m_dc.Get(), 0, 0, SRCCOPY);
    }

private:
    MemoryDC m_dc;
    Bitmap m_bitmap;
    Selection m_selection;
    int m_width;
    int m_height;
};

// The process's GDI+ session: started by the application before the first window, ended after the
// last image is gone.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (m_ok) Gdiplus::GdiplusShutdown(m_token);
    }
    GdiplusSession(const GdiplusSession &) = delete;
    GdiplusSession &operator=(const GdiplusSession &) = delete;
    bool Ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

// GDI+ objects are created on the GDI+ heap and deleted through their own operator delete.
using ImagePtr = std::unique_ptr<Gdiplus::Image>;

}  // namespace winui
