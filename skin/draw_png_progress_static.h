#pragma once
// A horizontal progress bar of two PNGs (empty track, full fill) with the percentage and download
// speed written across it. SetPos and SetSpeedText may be called from the download engine's
// reporter thread while the user-interface thread paints, so the two values share one lock.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <mutex>
#include <string>

#include "skin/layout.h"
#include "winui/gdi_guards.h"
#include "winui/static_control.h"

class CDrawPngProgressStatic : public winui::Static {
public:
    void InitFontFromParent();
    void SetBkImage(Gdiplus::Image *image) { m_pBkImage = image; }  // borrowed
    void SetBkSourceRect(int left, int top, int right, int bottom) { m_rcBkSource = {left, top, right, bottom}; }
    void SetTrackImage(Gdiplus::Image *image) { m_pTrackImage = image; }  // borrowed
    void SetFillImage(Gdiplus::Image *image) { m_pFillImage = image; }    // borrowed
    void SetTextColor(COLORREF color) { m_crText = color; }
    // Stores the percentage (not clamped) and repaints. Any thread.
    void SetPos(int percent);
    // Stores the speed text without repainting; SetPos follows. Any thread.
    void SetSpeedText(const std::wstring &speed);
    // A note shown after the percentage in place of the speed (a retry's countdown); empty for
    // the speed again. Any thread; repaints on the next SetPos or Invalidate.
    void SetNote(const std::wstring &note);
    int GetPos() const;
    std::wstring ShownText() const;

    void Render(HDC target) override;

    float m_fScale = 1.0f;  // set by the owner

protected:
    // The window text is what the bar shows, so that screen readers and other programs can read it.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;


private:
    skin::Rect m_rcClient;
    Gdiplus::Image *m_pBkImage = nullptr;
    skin::Rect m_rcBkSource;
    Gdiplus::Image *m_pTrackImage = nullptr;
    Gdiplus::Image *m_pFillImage = nullptr;
    mutable std::mutex m_valuesLock;  // guards m_nPercent, m_strSpeed and m_strNote
    int m_nPercent = 0;
    std::wstring m_strSpeed = L"0.0B";
    std::wstring m_strNote;
    winui::Font m_font;
    COLORREF m_crText = RGB(255, 255, 255);
};
