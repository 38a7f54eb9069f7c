#include "check_box_btn.h"

#include <string>

#include "skin/paint.h"
#include "skin/png_resource.h"
#include "skin/resource_ids.h"

CCheckBoxBtn::CCheckBoxBtn() : m_brBk(CreateSolidBrush(RGB(255, 255, 255))) {}

void CCheckBoxBtn::InitFontFromParent() { m_font = skin::FontFromParent(m_hWnd); }

void CCheckBoxBtn::Render(HDC target) {
    if (!target) return;
    m_rcClient = skin::FromRECT(GetClientRect());
    if (!m_canvas || m_canvasWidth != m_rcClient.Width() || m_canvasHeight != m_rcClient.Height()) {
        m_canvas = std::make_unique<winui::Canvas>(target, m_rcClient.Width(), m_rcClient.Height());
        m_canvasWidth = m_rcClient.Width();
        m_canvasHeight = m_rcClient.Height();
    }
    if (!m_canvas->Ok()) return;
    HDC dc = m_canvas->Dc();
    const RECT client = skin::ToRECT(m_rcClient);
    FillRect(dc, &client, m_brBk.Get());
    SetBkMode(dc, TRANSPARENT);

    if (LoadPngResourceOnce(m_pCheckImage, IDB_CHECKBOX)) {
        {
            Gdiplus::Graphics graphics(dc);
            skin::PrepareGraphics(graphics);
            const int cell = skin::CheckBoxCellLeft(GetCheck());
            skin::DrawImageSlice(graphics, m_pCheckImage.get(), skin::CheckBoxBoxRect(m_rcClient, m_fScale),
                                 {cell, 0, cell + 16, 16});
        }
        winui::Selection font(dc, m_font.Get());
        std::wstring text = GetWindowText();
        ::SetTextColor(dc, m_crText);
        RECT textRect = client;
        textRect.left = skin::CheckBoxTextLeft(m_rcClient, m_fScale);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_VCENTER | DT_SINGLELINE);
    }
    m_canvas->CopyTo(target);
}

LRESULT CCheckBoxBtn::ChangeThenRepaint(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool visible = IsWindowVisible(m_hWnd);
    if (visible) Default(WM_SETREDRAW, FALSE, 0);
    const LRESULT result = Default(message, wParam, lParam);
    if (visible && m_hWnd) {
        Default(WM_SETREDRAW, TRUE, 0);
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    return result;
}

LRESULT CCheckBoxBtn::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        winui::PaintDC paint(m_hWnd);
        Render(paint.Get());
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE;  // the paint covers everything
    case BM_SETCHECK:
    case BM_SETSTATE:
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE:
        return ChangeThenRepaint(message, wParam, lParam);
    default:
        return Default(message, wParam, lParam);
    }
}
