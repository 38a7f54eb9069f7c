#pragma once
// A status text whose trailing dots are animated by a one-second timer: none, ".", "..", "...".
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "skin/layout.h"
#include "winui/gdi_guards.h"
#include "winui/static_control.h"

class CDrawStateInfoStatic : public winui::Static {
public:
    static constexpr UINT_PTR kAnimationTimer = 36;

    CDrawStateInfoStatic();
    void InitFontFromParent();
    void SetTextColor(COLORREF color);
    void SetAlignMode(int mode) { m_nAlign = mode; }
    void SetBkImage(Gdiplus::Image *image) { m_pBkImage = image; }  // borrowed
    void SetBkSourceRect(int left, int top, int right, int bottom) { m_rcBkSource = {left, top, right, bottom}; }
    void StartAnimation();
    void StopAnimation();
    // The owner resets the count when it goes, without repainting a window that is going too.
    void ResetDots() { m_nDots = 0; }
    int GetDotCount() const { return m_nDots; }
    // The text as it is drawn now: window text and dots.
    std::wstring ShownText() const;

    void Render(HDC target) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    winui::Brush m_brBk;
    skin::Rect m_rcClient;
    winui::Font m_font;
    COLORREF m_crText = RGB(0, 0, 0);
    int m_nDots = 0;
    int m_nAlign = 0;
    Gdiplus::Image *m_pBkImage = nullptr;
    skin::Rect m_rcBkSource;
};
