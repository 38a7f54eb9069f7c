#pragma once
// The background of a dialog pair: a layered top-level window whose whole look is one PNG with
// per-pixel alpha. It creates, places and owns its control layer, keeps it in place while it
// moves, and follows it while the user drags the layer.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "skin/control_layer_dlg.h"
#include "skin/layout.h"
#include "winui/dialog.h"
#include "winui/gdi_guards.h"

class CLayeredBackgroundDlg : public winui::Dialog {
public:
    CLayeredBackgroundDlg(UINT templateId, UINT imageId, const skin::PairGeometry &pair, HWND parent);
    ~CLayeredBackgroundDlg() override;

    // Called by a dragged control layer with its own window rectangle: from now on the background
    // follows the layer, never the other way round.
    void FollowChild(int left, int top, int right, int bottom);

    CControlLayerDlg *GetChild() const { return m_pChild.get(); }
    bool ChildFollows() const { return m_bChildFollows != 0; }
    const skin::PairGeometry &Pair() const { return m_pair; }

    float m_fScale = 1.0f;  // copied from the creator before DoModal

protected:
    BOOL OnInitDialog() override;
    void ShowOnOpen() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    // Constructs the control layer and hands it the pair's data (scale, texts, mode).
    virtual std::unique_ptr<CControlLayerDlg> MakeChild() = 0;
    // Moves the background before the layer is placed; false keeps the current top-left.
    virtual bool PlaceSelf(int width, int height);
    virtual bool SmoothComposition() const { return false; }

    winui::ImagePtr m_pBkImage;
    std::unique_ptr<CControlLayerDlg> m_pChild;
    int m_bChildFollows = 1;

private:
    bool ComposeLayer(int width, int height);
    void ShowPair();

    UINT m_imageId;
    const skin::PairGeometry &m_pair;
};
