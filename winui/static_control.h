#pragma once
// Base of our static controls, which paint themselves completely: the whole picture comes from
// Render, so the background is never erased first (no flicker).
#include "control.h"
#include "gdi_guards.h"

namespace winui {

class Static : public Control {
public:
    // Draws the whole control into target, which has the control's client size.
    virtual void Render(HDC target) = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_PAINT: {
            PaintDC paint(m_hWnd);
            Render(paint.Get());
            return 0;
        }
        case WM_ERASEBKGND:
            return TRUE;
        default:
            return Default(message, wParam, lParam);
        }
    }
};

}  // namespace winui
