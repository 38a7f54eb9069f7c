#include "draw_text_static.h"

#include <string>

#include "skin/paint.h"

namespace {

// DrawText flags of each layout mode; false for modes that draw no text.
bool AlignFlags(int mode, UINT &flags) {
    switch (mode) {
    case 0: flags = DT_WORDBREAK | DT_VCENTER; return true;
    case 1: flags = DT_SINGLELINE | DT_VCENTER; return true;
    case 2: flags = DT_SINGLELINE | DT_VCENTER | DT_CENTER; return true;
    case 3: flags = DT_WORDBREAK | DT_VCENTER | DT_RIGHT; return true;
    case 4: flags = DT_SINGLELINE | DT_VCENTER; return true;
    default: return false;
    }
}

}  // namespace

void CDrawTextStatic::InitFontFromParent() { m_font = skin::FontFromParent(m_hWnd); }

void CDrawTextStatic::UpdateHover(POINT screenPoint) {
    const int hover = HitTest(screenPoint) ? 1 : 0;
    if (hover == m_bHover) return;
    m_bHover = hover;
    Invalidate(true);
}

BOOL CDrawTextStatic::HitTest(POINT screenPoint) const {
    RECT window;
    if (!m_hWnd || !GetWindowRect(m_hWnd, &window)) return FALSE;
    return PtInRect(&window, screenPoint);
}

void CDrawTextStatic::Render(HDC target) {
    if (!target) return;
    m_rcClient = skin::FromRECT(GetClientRect());
    winui::Canvas canvas(target, m_rcClient.Width(), m_rcClient.Height());
    if (!canvas.Ok()) return;
    HDC dc = canvas.Dc();
    if (!m_brBk) m_brBk.Reset(CreateSolidBrush(m_crBk));
    RECT client = skin::ToRECT(m_rcClient);
    FillRect(dc, &client, m_brBk.Get());
    SetBkMode(dc, TRANSPARENT);
    if (m_pBkImage) {
        Gdiplus::Graphics graphics(dc);
        skin::PrepareGraphics(graphics);
        skin::DrawImageSlice(graphics, m_pBkImage, m_rcClient, m_rcBkSource);
    }
    winui::Selection font(dc, m_font.Get());
    ::SetTextColor(dc, m_bHover ? m_crHover : m_crText);
    UINT flags = 0;
    if (AlignFlags(m_nAlign, flags)) {
        const std::wstring text = GetWindowText();
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, flags);
    }
    font.Restore();
    canvas.CopyTo(target);
}
