// The artwork as the program loads it: every id at the size of the resource table, alpha where the
// table says so, and background shadows exactly as wide as the control layers' insets.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "skin/png_resource.h"
#include "skin/resource_ids.h"
#include "winui/application.h"
#include "test_support.h"

namespace {

struct Entry {
    UINT first;
    UINT last;
    int width;
    int height;
    bool alpha;
};

const Entry kTable[] = {
    {147, 147, 410, 611, true}, {148, 148, 400, 600, false}, {149, 149, 48, 16, true},
    {150, 153, 26, 34, false},  {154, 154, 232, 132, true},  {155, 155, 204, 104, false},
    {156, 159, 246, 47, false}, {160, 163, 26, 34, false},   {164, 164, 330, 150, true},
    {165, 165, 320, 140, false}, {166, 168, 55, 24, false},  {169, 171, 12, 12, false},
    {172, 180, 55, 24, false},  {181, 181, 410, 479, true},  {182, 182, 400, 468, false},
    {183, 186, 12, 12, false},  {188, 191, 266, 60, true},   {193, 196, 246, 47, false},
    {197, 200, 266, 60, true},  {201, 202, 456, 20, true},   {203, 206, 266, 60, true},
    {207, 210, 58, 18, false},
};

// The colour type in the PNG header of a resource: 6 with alpha, 2 without. Read from the bytes,
// because decoders may hand out 32-bit pixels with alpha for any PNG.
int PngColourType(UINT id) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const auto *bytes = static_cast<const unsigned char *>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes || SizeofResource(nullptr, found) < 26) return -1;
    return bytes[25];
}

}  // namespace

TEST(PngResource, EveryImageOfTheTableLoadsAtItsSizeWithItsAlpha) {
    int count = 0;
    for (const Entry &entry : kTable) {
        for (UINT id = entry.first; id <= entry.last; ++id) {
            Gdiplus::Image *raw = nullptr;
            ASSERT_NE(LoadPngResource(&raw, id), 0) << id;
            std::unique_ptr<Gdiplus::Image> image(raw);
            EXPECT_EQ(static_cast<int>(image->GetWidth()), entry.width) << id;
            EXPECT_EQ(static_cast<int>(image->GetHeight()), entry.height) << id;
            EXPECT_EQ(PngColourType(id), entry.alpha ? 6 : 2) << id;
            ++count;
        }
    }
    EXPECT_EQ(count, 62);
}

TEST(PngResource, MissingIdReturnsZeroAndLeavesThePointerAlone) {
    Gdiplus::Image *sentinel = reinterpret_cast<Gdiplus::Image *>(0x1234);
    Gdiplus::Image *out = sentinel;
    EXPECT_EQ(LoadPngResource(&out, 187), 0);  // a gap in the table
    EXPECT_EQ(out, sentinel);
    EXPECT_EQ(LoadPngResource(&out, 9999), 0);
    EXPECT_EQ(out, sentinel);
    winui::ImagePtr empty;
    EXPECT_FALSE(LoadPngResourceOnce(empty, 9999));
    EXPECT_FALSE(empty);
}

// Decoded once for the run: every load after the first is a copy of the same pixels, its own to free.
TEST(PngResource, LoadOnceKeepsTheFirstImageAndEachArtworkIsDecodedOnce) {
    winui::ImagePtr image;
    ASSERT_TRUE(LoadPngResourceOnce(image, 165));
    Gdiplus::Image *first = image.get();
    ASSERT_TRUE(LoadPngResourceOnce(image, 165));
    EXPECT_EQ(image.get(), first);

    std::map<UINT, winui::ImagePtr> &decoded = winui::Application::Current()->DecodedImages();
    ASSERT_EQ(decoded.count(165), 1u);
    EXPECT_TRUE(DecodeAhead(IDB_PROMPT_YES_NORMAL));  // ahead of the dialog that shows it
    EXPECT_EQ(decoded.count(IDB_PROMPT_YES_NORMAL), 1u);
    EXPECT_FALSE(DecodeAhead(9999));
    EXPECT_EQ(decoded.count(9999), 0u);
    const Gdiplus::Image *original = decoded[165].get();
    winui::ImagePtr again;
    ASSERT_TRUE(LoadPngResourceOnce(again, 165));
    EXPECT_EQ(decoded[165].get(), original);
    ASSERT_NE(again.get(), first);
    auto *other = static_cast<Gdiplus::Bitmap *>(again.get());
    image.reset();  // the other copy does not depend on it
    for (INT x = 0; x < static_cast<INT>(other->GetWidth()); x += 7) {
        Gdiplus::Color copied;
        Gdiplus::Color kept;
        other->GetPixel(x, static_cast<INT>(other->GetHeight()) / 2, &copied);
        static_cast<Gdiplus::Bitmap *>(decoded[165].get())->GetPixel(x, static_cast<INT>(other->GetHeight()) / 2, &kept);
        EXPECT_EQ(copied.GetValue(), kept.GetValue()) << x;
    }
}

// The control layer covers exactly the opaque part: every pixel of the inset border is translucent
// and every pixel inside is opaque, along all four edges.
TEST(PngResource, BackgroundShadowsAreExactlyTheInsetWidths) {
    struct Frame {
        UINT id;
        int left, top, right, bottom;
    };
    for (const Frame &frame : {Frame{147, 5, 4, 5, 7}, Frame{164, 5, 3, 5, 7}, Frame{181, 5, 4, 5, 7},
                               Frame{154, 14, 12, 14, 16}}) {
        ImagePixels png;
        ASSERT_TRUE(ReadPng(frame.id, png)) << frame.id;
        const int innerRight = png.width - frame.right;
        const int innerBottom = png.height - frame.bottom;
        for (int y = 0; y < png.height; y += 7) {
            for (int x = 0; x < png.width; ++x) {
                const bool inside = x >= frame.left && x < innerRight && y >= frame.top && y < innerBottom;
                if (inside) {
                    ASSERT_EQ(png.AlphaAt(x, y), 255) << frame.id << " at " << x << "," << y;
                } else {
                    ASSERT_LT(png.AlphaAt(x, y), 255) << frame.id << " at " << x << "," << y;
                }
            }
        }
        for (int x = 0; x < png.width; x += 7) {
            for (int y = 0; y < png.height; ++y) {
                const bool inside = x >= frame.left && x < innerRight && y >= frame.top && y < innerBottom;
                ASSERT_EQ(png.AlphaAt(x, y) == 255, inside) << frame.id << " at " << x << "," << y;
            }
        }
        // A shadow, not a hole: the band next to the layer is visibly dark.
        EXPECT_GT(png.AlphaAt(frame.left - 1, png.height / 2), 20) << frame.id;
        EXPECT_GT(png.AlphaAt(png.width / 2, innerBottom), 20) << frame.id;
    }
}

// Faces of one button must be told apart: normal, hover, pressed and disabled differ in the body.
TEST(PngResource, ButtonFacesDifferFromEachOther) {
    for (UINT first : {150u, 156u, 160u, 183u, 188u, 193u, 197u, 203u, 207u}) {
        ImagePixels faces[4];
        for (UINT i = 0; i < 4; ++i) ASSERT_TRUE(ReadPng(first + i, faces[i])) << first + i;
        int differing = 0;
        for (int a = 0; a < 4; ++a) {
            for (int b = a + 1; b < 4; ++b) {
                bool differs = false;
                for (size_t p = 0; p < faces[a].argb.size() && !differs; ++p) {
                    differs = faces[a].argb[p] != faces[b].argb[p];
                }
                differing += differs ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 6) << "faces of " << first;
    }
}
