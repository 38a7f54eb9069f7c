#include "control_layer_dlg.h"

#include "skin/layered_background_dlg.h"
#include "skin/paint.h"
#include "skin/png_resource.h"

CControlLayerDlg::CControlLayerDlg(UINT templateId, UINT imageId, const skin::PairGeometry &pair)
    : winui::Dialog(templateId), m_imageId(imageId), m_pair(pair) {}

BOOL CControlLayerDlg::OnInitDialog() {
    winui::Dialog::OnInitDialog();
    if (LoadPngResourceOnce(m_pBkImage, m_imageId)) {
        LayoutControls(true);
        m_bLaidOut = 1;
    }
    return TRUE;
}

void CControlLayerDlg::Render(HDC target) {
    if (!target || !LoadPngResourceOnce(m_pBkImage, m_imageId)) return;
    RECT client;
    GetClientRect(m_hWnd, &client);
    winui::Canvas canvas(target, client.right, client.bottom);
    if (!canvas.Ok()) return;
    {
        Gdiplus::Graphics graphics(canvas.Dc());
        skin::PrepareGraphics(graphics);
        skin::DrawImageSlice(graphics, m_pBkImage.get(), skin::FromRECT(client),
                             {0, 0, ImageWidth(m_pBkImage.get()), ImageHeight(m_pBkImage.get())});
    }
    canvas.CopyTo(target);
}

bool CControlLayerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    switch (message) {
    case WM_ERASEBKGND:
        Render(reinterpret_cast<HDC>(wParam));
        result = TRUE;
        return true;
    case WM_NCHITTEST: {
        if (!m_pair.draggable) return false;
        RECT client;
        GetClientRect(m_hWnd, &client);
        MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT *>(&client), 2);
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        const bool inBand = skin::InCaptionBand(skin::FromRECT(client), x, y, m_pair, m_fScale);
        // While the system moves the window only an outline follows the cursor, which soon lies
        // outside the band of the unmoved window: a hit test then must not forget the drag, or the
        // final move would leave the background behind.
        if (!m_bInMoveLoop) m_bDragging = inBand ? 1 : 0;
        if (!inBand) return false;
        result = HTCAPTION;
        return true;
    }
    case WM_ENTERSIZEMOVE:
        m_bInMoveLoop = 1;
        return false;
    case WM_EXITSIZEMOVE:
        m_bInMoveLoop = 0;
        return false;
    case WM_MOVE:
        if (m_bDragging && m_pBackground) {
            RECT window;
            GetWindowRect(m_hWnd, &window);
            m_pBackground->FollowChild(window.left, window.top, window.right, window.bottom);
        }
        return false;
    case WM_SIZE:
        if (m_bLaidOut) LayoutControls(false);
        return false;
    case WM_DESTROY:
        OnDestroyLayer();
        m_pBkImage.reset();
        return false;
    default:
        return winui::Dialog::OnMessage(message, wParam, lParam, result);
    }
}
