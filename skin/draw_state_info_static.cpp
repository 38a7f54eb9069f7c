#include "draw_state_info_static.h"

#include "skin/paint.h"

namespace {

UINT AlignFlags(int mode) {
    switch (mode) {
    case 2: return DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    case 3: return DT_SINGLELINE | DT_VCENTER | DT_RIGHT;
    case 4: return DT_WORDBREAK | DT_VCENTER;
    case 5: return DT_WORDBREAK | DT_VCENTER | DT_CENTER;
    case 6: return DT_WORDBREAK | DT_VCENTER | DT_RIGHT;
    default: return DT_SINGLELINE | DT_VCENTER;
    }
}

}  // namespace

CDrawStateInfoStatic::CDrawStateInfoStatic() : m_brBk(CreateSolidBrush(RGB(255, 255, 255))) {}

void CDrawStateInfoStatic::InitFontFromParent() { m_font = skin::FontFromParent(m_hWnd); }

void CDrawStateInfoStatic::SetTextColor(COLORREF color) {
    m_crText = color;
    Invalidate(true);
}

void CDrawStateInfoStatic::StartAnimation() {
    if (m_hWnd) SetTimer(m_hWnd, kAnimationTimer, 1000, nullptr);
}

void CDrawStateInfoStatic::StopAnimation() {
    if (m_hWnd) KillTimer(m_hWnd, kAnimationTimer);
    m_nDots = 0;
    Invalidate(true);
}

std::wstring CDrawStateInfoStatic::ShownText() const { return skin::WithDots(GetWindowText(), m_nDots); }

void CDrawStateInfoStatic::Render(HDC target) {
    if (!target) return;
    m_rcClient = skin::FromRECT(GetClientRect());
    winui::Canvas canvas(target, m_rcClient.Width(), m_rcClient.Height());
    if (!canvas.Ok()) return;
    HDC dc = canvas.Dc();
    RECT client = skin::ToRECT(m_rcClient);
    FillRect(dc, &client, m_brBk.Get());
    SetBkMode(dc, TRANSPARENT);
    winui::Selection font(dc, m_font.Get());
    ::SetTextColor(dc, m_crText);
    const std::wstring text = ShownText();
    if (m_pBkImage) {
        Gdiplus::Graphics graphics(dc);
        skin::PrepareGraphics(graphics);
        skin::DrawImageSlice(graphics, m_pBkImage, m_rcClient, m_rcBkSource);
    }
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, AlignFlags(m_nAlign));
    font.Restore();
    canvas.CopyTo(target);
}

LRESULT CDrawStateInfoStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kAnimationTimer) {
            m_nDots = skin::NextDotCount(m_nDots);
            Invalidate(true);
        }
        return Default(message, wParam, lParam);
    case WM_DESTROY:
        KillTimer(m_hWnd, kAnimationTimer);
        return Default(message, wParam, lParam);
    default:
        return winui::Static::WindowProc(message, wParam, lParam);
    }
}
