#pragma once
// An owner-drawn push button that also paints on erase, with hit insets so that a press inside the
// transparent margin of its face can be ignored by the owner; large buttons of the main and
// feedback windows.
#include "skin/state_image_button.h"

class CImageButton : public CStateImageButton {
public:
    void SetHitInsets(int left, int top, int right, int bottom) { m_rcHitInsets = {left, top, right, bottom}; }
    // Whether the cursor lies in the client area shrunk by the hit insets.
    BOOL IsCursorInside() const;
    // Composes background and, when withFace and all faces are loaded, the face; copies to target.
    void Render(HDC target, bool withFace);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool AcceptsPoint(POINT point) const override;

private:
    skin::Rect m_rcClient;
    skin::Insets m_rcHitInsets;
};
