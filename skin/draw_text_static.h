#pragma once
// A line or block of text in a chosen layout and colour, over white or a slice of the owner's
// background image, with a second colour while the owner reports the mouse over it.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "skin/layout.h"
#include "winui/gdi_guards.h"
#include "winui/static_control.h"

class CDrawTextStatic : public winui::Static {
public:
    void InitFontFromParent();
    void SetAlignMode(int mode) { m_nAlign = mode; }
    void SetTextColors(COLORREF normal, COLORREF hover) {
        m_crText = normal;
        m_crHover = hover;
    }
    // Takes effect only before the first paint, which makes the brush.
    void SetBkColor(COLORREF color) { m_crBk = color; }
    void SetBkImage(Gdiplus::Image *image) { m_pBkImage = image; }  // borrowed
    void SetBkSourceRect(int left, int top, int right, int bottom) { m_rcBkSource = {left, top, right, bottom}; }
    // Screen point: hover on inside the window rectangle, off outside; repaints on a change.
    void UpdateHover(POINT screenPoint);
    BOOL HitTest(POINT screenPoint) const;
    bool IsHover() const { return m_bHover != 0; }

    void Render(HDC target) override;


private:
    winui::Brush m_brBk;
    skin::Rect m_rcClient;
    winui::Font m_font;
    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crHover = RGB(0, 0, 255);
    COLORREF m_crBk = RGB(255, 255, 255);
    int m_bHover = 0;
    int m_nAlign = 0;
    Gdiplus::Image *m_pBkImage = nullptr;
    skin::Rect m_rcBkSource;
};
