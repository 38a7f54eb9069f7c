#pragma once
// The control layer of a dialog pair: an ordinary dialog owned by the background, over the
// background's opaque inner area, painted with an opaque PNG and holding the controls. Draggable
// layers move the pair by their top band.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "skin/layout.h"
#include "winui/dialog.h"
#include "winui/gdi_guards.h"

class CLayeredBackgroundDlg;

class CControlLayerDlg : public winui::Dialog {
public:
    CControlLayerDlg(UINT templateId, UINT imageId, const skin::PairGeometry &pair);

    // Places every control from the client rectangle; the first call also configures them.
    virtual void LayoutControls(bool first) = 0;
    void SetBackground(CLayeredBackgroundDlg *background) { m_pBackground = background; }

    // Composes the layer's picture into target, as WM_ERASEBKGND does.
    void Render(HDC target);
    bool IsLaidOut() const { return m_bLaidOut != 0; }
    bool IsDragging() const { return m_bDragging != 0; }

    float m_fScale = 1.0f;  // copied from the background before creation

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;
    // Releases what the layer lent its controls; called from WM_DESTROY.
    virtual void OnDestroyLayer() {}

    winui::ImagePtr m_pBkImage;
    int m_bLaidOut = 0;
    int m_bDragging = 0;
    int m_bInMoveLoop = 0;  // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE
    CLayeredBackgroundDlg *m_pBackground = nullptr;

private:
    UINT m_imageId;
    const skin::PairGeometry &m_pair;
};
