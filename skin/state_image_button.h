#pragma once
// What CPngButton and CImageButton share: four face images chosen by the mouse state, drawn over a
// slice of the owner's background image (or white), hover tracked with TrackMouseEvent.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "skin/layout.h"
#include "winui/button.h"
#include "winui/gdi_guards.h"

class CStateImageButton : public winui::Button {
public:
    CStateImageButton();

    // Loads the four faces once (owners with three images pass the pressed id twice).
    void LoadStateImages(UINT normal, UINT hover, UINT pressed, UINT disabled);
    void ReleaseStateImages();
    // Borrowed: the owner keeps the image alive while the button exists.
    void SetBkImage(Gdiplus::Image *image) { m_pBkImage = image; }
    void SetBkSourceRect(int left, int top, int right, int bottom) { m_rcBkSource = {left, top, right, bottom}; }

    int GetState() const { return m_nState; }
    // Shows a state without the mouse (for pictures of every face); repaints on a change.
    void SetState(int state) { MoveToState(state); }
    bool HasAllFaces() const { return m_pImgNormal && m_pImgHover && m_pImgPressed && m_pImgDisabled; }

protected:
    void MoveToState(int state);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Whether a mouse message at this client point may change the state.
    virtual bool AcceptsPoint(POINT) const { return true; }
    Gdiplus::Image *FaceImage() const;
    // The background under the face: the slice of the owner's image, else the white brush.
    void DrawBackground(Gdiplus::Graphics &graphics, HDC dc, const skin::Rect &target) const;

    Gdiplus::Image *m_pBkImage = nullptr;
    skin::Rect m_rcBkSource;
    winui::Brush m_brBk;
    winui::ImagePtr m_pImgNormal;
    winui::ImagePtr m_pImgHover;
    winui::ImagePtr m_pImgPressed;
    winui::ImagePtr m_pImgDisabled;
    int m_nState = skin::Normal;
    int m_bTracking = 0;
};
