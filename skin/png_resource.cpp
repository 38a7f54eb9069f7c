#include "png_resource.h"

#include <cstring>
#include <map>
#include <memory>

#include "skin/resource_ids.h"
#include "winui/application.h"

namespace {

// The PNG bytes live in a memory block owned by the image's stream, freed with the image; it is
// decoded when first drawn or measured.
int LoadFromStream(Gdiplus::Image **out, UINT id) {
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

// The artwork's pixels, decoded now into a bitmap of its own; null when GDI+ cannot decode it.
winui::ImagePtr Decoded(UINT id) {
    Gdiplus::Image *loaded = nullptr;
    if (!LoadFromStream(&loaded, id)) return nullptr;
    const winui::ImagePtr source(loaded);
    const UINT width = source->GetWidth();
    const UINT height = source->GetHeight();
    if (source->GetLastStatus() != Gdiplus::Ok || width == 0 || height == 0) return nullptr;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    bitmap->SetResolution(source->GetHorizontalResolution(), source->GetVerticalResolution());
    {
        Gdiplus::Graphics graphics(bitmap.get());
        // A plain copy of every pixel, alpha included: nothing is blended with the empty bitmap.
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        if (graphics.DrawImage(source.get(), Gdiplus::Rect(0, 0, static_cast<INT>(width), static_cast<INT>(height)), 0, 0,
                               static_cast<INT>(width), static_cast<INT>(height), Gdiplus::UnitPixel) != Gdiplus::Ok) {
            return nullptr;
        }
    }
    return winui::ImagePtr(bitmap.release());
}

}  // namespace

const UINT kClickDialogArtwork[] = {
    IDB_WAIT_BACKGROUND, IDB_WAIT_LAYER, IDB_PROMPT_BACKGROUND, IDB_PROMPT_LAYER,
    IDB_PROMPT_CLOSE_NORMAL, IDB_PROMPT_CLOSE_HOVER, IDB_PROMPT_CLOSE_PRESSED,
    IDB_PROMPT_CONFIRM_NORMAL, IDB_PROMPT_CONFIRM_HOVER, IDB_PROMPT_CONFIRM_PRESSED,
    IDB_PROMPT_YES_NORMAL, IDB_PROMPT_YES_HOVER, IDB_PROMPT_YES_PRESSED,
    IDB_PROMPT_NO_NORMAL, IDB_PROMPT_NO_HOVER, IDB_PROMPT_NO_PRESSED,
    IDB_PROMPT_CANCEL_NORMAL, IDB_PROMPT_CANCEL_HOVER, IDB_PROMPT_CANCEL_PRESSED,
};
const size_t kClickDialogArtworkCount = sizeof(kClickDialogArtwork) / sizeof(kClickDialogArtwork[0]);

bool DecodeAhead(UINT id) {
    winui::Application *application = winui::Application::Current();
    if (!application) return false;
    std::map<UINT, winui::ImagePtr> &decoded = application->DecodedImages();
    if (decoded.count(id)) return true;
    winui::ImagePtr image = Decoded(id);
    if (!image) return false;
    decoded.emplace(id, std::move(image));
    return true;
}

int LoadPngResource(Gdiplus::Image **out, UINT id) {
    if (!out) return 0;
    winui::Application *application = winui::Application::Current();
    if (!application) return LoadFromStream(out, id);
    std::map<UINT, winui::ImagePtr> &decoded = application->DecodedImages();
    auto found = decoded.find(id);
    if (found == decoded.end()) {
        winui::ImagePtr image = Decoded(id);
        if (!image) return LoadFromStream(out, id);  // as it is, decoded or not
        found = decoded.emplace(id, std::move(image)).first;
    }
    auto *original = static_cast<Gdiplus::Bitmap *>(found->second.get());
    Gdiplus::Bitmap *copy = original->Clone(0, 0, static_cast<INT>(original->GetWidth()),
                                            static_cast<INT>(original->GetHeight()), PixelFormat32bppARGB);
    if (!copy) return LoadFromStream(out, id);
    *out = copy;
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
