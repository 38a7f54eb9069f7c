#pragma once
// PNG artwork compiled into the program as resources of type "PNG".
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "winui/gdi_guards.h"

// Loads PNG resource id into a new image. Returns 0 when the resource is missing or cannot be read
// (*out untouched); nonzero otherwise, *out then owns a new image even if GDI+ could not decode it.
// Each artwork is decoded once per run (while an application object lives) and every later load
// is a copy of its pixels: decoding took most of the time a skinned dialog needed to open.
int LoadPngResource(Gdiplus::Image **out, UINT id);

// Decodes artwork for the run now, so that the dialog that shows it later only copies it: true
// when it is decoded (or was). Nothing is kept without an application object.
bool DecodeAhead(UINT id);
// The artwork of the please-wait box and the prompt, the dialogs a click opens.
extern const UINT kClickDialogArtwork[];
extern const size_t kClickDialogArtworkCount;

// Loads into an owning pointer only while it is still empty, so each image loads once per object.
// True when the pointer holds an image afterwards.
bool LoadPngResourceOnce(winui::ImagePtr &image, UINT id);

// Width and height of an image in pixels, 0 for a null image.
int ImageWidth(Gdiplus::Image *image);
int ImageHeight(Gdiplus::Image *image);
