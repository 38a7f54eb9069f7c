#include "draw_png_progress_static.h"

#include "skin/paint.h"
#include "skin/png_resource.h"

void CDrawPngProgressStatic::InitFontFromParent() { m_font = skin::FontFromParent(m_hWnd); }

void CDrawPngProgressStatic::SetPos(int percent) {
    {
        std::lock_guard<std::mutex> lock(m_valuesLock);
        m_nPercent = percent;
    }
    Invalidate(true);  // InvalidateRect may be called from any thread
}

void CDrawPngProgressStatic::SetSpeedText(const std::wstring &speed) {
    std::lock_guard<std::mutex> lock(m_valuesLock);
    m_strSpeed = speed;
}

void CDrawPngProgressStatic::SetNote(const std::wstring &note) {
    std::lock_guard<std::mutex> lock(m_valuesLock);
    m_strNote = note;
}

int CDrawPngProgressStatic::GetPos() const {
    std::lock_guard<std::mutex> lock(m_valuesLock);
    return m_nPercent;
}

std::wstring CDrawPngProgressStatic::ShownText() const {
    std::lock_guard<std::mutex> lock(m_valuesLock);
    return skin::ProgressText(m_nPercent, m_strSpeed, m_strNote);
}

LRESULT CDrawPngProgressStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(ShownText().size());
    case WM_GETTEXT: {
        const std::wstring text = ShownText();
        auto *buffer = reinterpret_cast<wchar_t *>(lParam);
        if (!buffer || wParam == 0) return 0;
        const size_t copied = text.copy(buffer, static_cast<size_t>(wParam) - 1);
        buffer[copied] = L'\0';
        return static_cast<LRESULT>(copied);
    }
    default:
        return winui::Static::WindowProc(message, wParam, lParam);
    }
}

void CDrawPngProgressStatic::Render(HDC target) {
    if (!target) return;
    int percent = 0;
    std::wstring text;
    {
        std::lock_guard<std::mutex> lock(m_valuesLock);
        percent = m_nPercent;
        text = skin::ProgressText(m_nPercent, m_strSpeed, m_strNote);
    }
    m_rcClient = skin::FromRECT(GetClientRect());
    winui::Canvas canvas(target, m_rcClient.Width(), m_rcClient.Height());
    if (!canvas.Ok()) return;
    HDC dc = canvas.Dc();
    RECT area = skin::ToRECT(m_rcClient);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));  // under a missing slice
    SetBkMode(dc, TRANSPARENT);
    {
        Gdiplus::Graphics graphics(dc);
        skin::PrepareGraphics(graphics);
        if (m_pBkImage) skin::DrawImageSlice(graphics, m_pBkImage, m_rcClient, m_rcBkSource);
        if (m_pTrackImage) {
            skin::DrawImageSlice(graphics, m_pTrackImage, m_rcClient,
                                 {0, 0, ImageWidth(m_pTrackImage), ImageHeight(m_pTrackImage)});
        }
        if (m_pFillImage) {
            const skin::ProgressFill fill =
                skin::ComputeProgressFill(m_rcClient, percent, ImageWidth(m_pFillImage), ImageHeight(m_pFillImage));
            // The cut edge of the fill is hard: no mirrored pixels beyond the source width.
            if (fill.destination.Width() > 0 && fill.sourceWidth > 0) {
                graphics.DrawImage(m_pFillImage,
                                   Gdiplus::Rect(fill.destination.left, fill.destination.top,
                                                 fill.destination.Width(), fill.destination.Height()),
                                   0, 0, fill.sourceWidth, fill.sourceHeight, Gdiplus::UnitPixel);
            }
        }
    }
    winui::Selection font(dc, m_font.Get());
    ::SetTextColor(dc, m_crText);
    RECT client = skin::ToRECT(m_rcClient);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    font.Restore();
    canvas.CopyTo(target);
}
