#pragma once
// An auto check box that paints itself completely: a 16 x 16 cell of PNG 149 and its window text.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "skin/layout.h"
#include "winui/button.h"
#include "winui/gdi_guards.h"

class CCheckBoxBtn : public winui::Button {
public:
    CCheckBoxBtn();
    void InitFontFromParent();
    void SetTextColor(COLORREF color) { m_crText = color; }
    // Composes the box as it is now and copies it to target at (0, 0).
    void Render(HDC target);

    float m_fScale = 1.0f;  // set by the owner

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Lets the system button change its state without drawing, then paints ours at once, so that a
    // system-drawn check mark never shows.
    LRESULT ChangeThenRepaint(UINT message, WPARAM wParam, LPARAM lParam);

    winui::ImagePtr m_pCheckImage;
    std::unique_ptr<winui::Canvas> m_canvas;  // kept between paints, remade when the size changes
    int m_canvasWidth = 0;
    int m_canvasHeight = 0;
    winui::Brush m_brBk;
    skin::Rect m_rcClient;
    winui::Font m_font;
    COLORREF m_crText = 0;
};
