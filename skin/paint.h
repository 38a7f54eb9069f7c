#pragma once
// Drawing helpers shared by the skinned windows and controls.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <functional>

#include "skin/layout.h"
#include "winui/gdi_guards.h"

namespace skin {

RECT ToRECT(const Rect &rect);
Rect FromRECT(const RECT &rect);

// Sets up a graphics object for artwork: high-quality smoothing, pixel centres on pixel centres.
void PrepareGraphics(Gdiplus::Graphics &graphics);

// Draws the source slice of an image (image pixels) stretched into destination. Edge pixels are
// mirrored rather than faded into transparency, so slices join their surroundings without seams.
void DrawImageSlice(Gdiplus::Graphics &graphics, Gdiplus::Image *image, const Rect &destination, const Rect &source);

// Gives a layered window its whole picture, width x height with per-pixel alpha, at the window's
// current top-left. draw renders into a cleared, premultiplied 32-bit picture. False when the
// picture could not be made or the window refused it.
bool UpdateLayeredPicture(HWND window, int width, int height, const std::function<void(Gdiplus::Graphics &)> &draw);

// The display scale of the screen: LOGPIXELSY / 100 above 100 dpi, else 1.0.
float DisplayScale();

// A copy of the parent window's font, else of DEFAULT_GUI_FONT, else of ANSI_VAR_FONT.
winui::Font FontFromParent(HWND control);

}  // namespace skin
