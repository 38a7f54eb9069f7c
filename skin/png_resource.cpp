#include "png_resource.h"

#include <cstring>

#include "winui/application.h"

int LoadPngResource(Gdiplus::Image **out, UINT id) {
    if (!out) return 0;
    HINSTANCE module = winui::Application::ResourceInstance();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!found) return 0;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return 0;

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return 0;
    void *copy = GlobalLock(block);
    if (!copy) {
        GlobalFree(block);
        return 0;
    }
    std::memcpy(copy, bytes, size);
    GlobalUnlock(block);
    // The stream owns the block and frees it when its last reference goes; the image keeps one
    // reference for as long as it lives, so the bytes outlive the image's need for them.
    IStream *stream = nullptr;
    if (CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK || !stream) {
        GlobalFree(block);
        return 0;
    }
    Gdiplus::Image *image = Gdiplus::Image::FromStream(stream, FALSE);
    stream->Release();
    if (!image) return 0;
    *out = image;
    return 1;
}

bool LoadPngResourceOnce(winui::ImagePtr &image, UINT id) {
    if (image) return true;
    Gdiplus::Image *loaded = nullptr;
    if (!LoadPngResource(&loaded, id)) return false;
    image.reset(loaded);
    return true;
}

int ImageWidth(Gdiplus::Image *image) { return image ? static_cast<int>(image->GetWidth()) : 0; }

int ImageHeight(Gdiplus::Image *image) { return image ? static_cast<int>(image->GetHeight()) : 0; }
