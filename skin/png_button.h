#pragma once
// An owner-drawn push button whose face is one of four PNG state images; window buttons and the
// prompt's buttons.
#include "skin/state_image_button.h"

class CPngButton : public CStateImageButton {
public:
    // Composes the button as it is now and copies it to target at (0, 0). Draws nothing while a
    // face is missing.
    void Render(HDC target);

    float m_fScale = 1.0f;  // set by the owner before the first paint

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
