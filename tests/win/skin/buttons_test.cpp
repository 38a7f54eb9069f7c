// Image buttons and the check box, driven by real cursor moves and clicks, and checked by what they
// draw.
#include <gtest/gtest.h>

#include "host_dialog.h"
#include "skin/check_box_btn.h"
#include "skin/image_button.h"
#include "skin/png_button.h"
#include "skin/png_resource.h"
#include "skin/resource_ids.h"
#include "test_ids.h"
#include "test_support.h"

namespace {

class ButtonTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Open());
        ASSERT_TRUE(m_png.Attach(m_host.GetSafeHwnd(), IDC_T_PNG_BUTTON));
        ASSERT_TRUE(m_image.Attach(m_host.GetSafeHwnd(), IDC_T_IMAGE_BUTTON));
        m_host.Place(IDC_T_PNG_BUTTON, 20, 20, 246, 47);
        m_host.Place(IDC_T_IMAGE_BUTTON, 20, 100, 266, 60);
        m_png.LoadStateImages(IDB_INSTALL_NORMAL, IDB_INSTALL_HOVER, IDB_INSTALL_PRESSED, IDB_INSTALL_DISABLED);
        m_image.LoadStateImages(IDB_SOLVED_NORMAL, IDB_SOLVED_HOVER, IDB_SOLVED_PRESSED, IDB_SOLVED_DISABLED);
        m_image.SetHitInsets(9, 9, 9, 9);
        PumpPending();
        // Start away from every button.
        MoveCursorTo(700, 700);
        PumpPending();
    }
    void TearDown() override {
        ReleaseLeft();
        MoveCursorTo(700, 700);
        PumpPending();
    }

    // The centre pixel of what the button draws now.
    Rgb CentreOf(CPngButton &button) {
        Pixels pixels(246, 47);
        button.Render(pixels.Dc());
        return pixels.At(123, 30);
    }
    static Rgb FacePixel(UINT id) {
        ImagePixels face;
        EXPECT_TRUE(ReadPng(id, face));
        return face.width ? face.At(123, 30) : Rgb{};
    }

    HostDialog m_host;
    CPngButton m_png;
    CImageButton m_image;
};

}  // namespace

TEST_F(ButtonTest, PressShowsPressedReleaseShowsHoverLeaveShowsNormal) {
    for (CStateImageButton *button : {static_cast<CStateImageButton *>(&m_png), static_cast<CStateImageButton *>(&m_image)}) {
        const POINT centre = ScreenCentre(button->GetSafeHwnd());
        MoveCursorTo(centre.x, centre.y);
        ASSERT_TRUE(PumpUntil([&] { return button->GetState() == skin::Hover; })) << "hover on entering";
        PressLeft();
        ASSERT_TRUE(PumpUntil([&] { return button->GetState() == skin::Pressed; })) << "pressed";
        ReleaseLeft();
        ASSERT_TRUE(PumpUntil([&] { return button->GetState() == skin::Hover; })) << "hover after the click";
        const int id = GetDlgCtrlID(button->GetSafeHwnd());
        EXPECT_TRUE(PumpUntil([&] { return m_host.Clicks(id) == 1; }));
        MoveCursorTo(700, 700);
        ASSERT_TRUE(PumpUntil([&] { return button->GetState() == skin::Normal; })) << "normal on leaving";
    }
}

TEST_F(ButtonTest, EachStateDrawsItsOwnFace) {
    const int states[3] = {skin::Normal, skin::Hover, skin::Pressed};
    const UINT faces[3] = {IDB_INSTALL_NORMAL, IDB_INSTALL_HOVER, IDB_INSTALL_PRESSED};
    for (int i = 0; i < 3; ++i) {
        m_png.SetState(states[i]);
        EXPECT_TRUE(Near(CentreOf(m_png), FacePixel(faces[i]))) << "state " << states[i];
    }
    EXPECT_FALSE(Near(FacePixel(IDB_INSTALL_NORMAL), FacePixel(IDB_INSTALL_HOVER)));
}

TEST_F(ButtonTest, DisabledShowsTheDisabledFaceWhateverTheStateAndIgnoresTheMouse) {
    m_png.EnableWindow(false);
    const Rgb disabled = FacePixel(IDB_INSTALL_DISABLED);
    for (int state : {int(skin::Normal), int(skin::Hover), int(skin::Pressed)}) {
        m_png.SetState(state);
        EXPECT_TRUE(Near(CentreOf(m_png), disabled)) << "state " << state;
    }
    m_png.SetState(skin::Normal);
    // The system does not even deliver the mouse to a disabled button; its handlers ignore it too.
    const POINT centre = ScreenCentre(m_png.GetSafeHwnd());
    MoveCursorTo(centre.x, centre.y);
    PressLeft();
    ReleaseLeft();
    ASSERT_TRUE(PumpUntil([] { return GetAsyncKeyState(VK_LBUTTON) == 0; }));
    PumpPending();
    EXPECT_EQ(m_png.GetState(), skin::Normal);
    EXPECT_EQ(m_host.Clicks(IDC_T_PNG_BUTTON), 0);
    const HWND window = m_png.GetSafeHwnd();
    SendMessageW(window, WM_MOUSEHOVER, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(m_png.GetState(), skin::Normal);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(m_png.GetState(), skin::Normal);
    m_png.SetState(skin::Hover);
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(m_png.GetState(), skin::Hover);
    EXPECT_TRUE(Near(CentreOf(m_png), disabled));
}

TEST_F(ButtonTest, PngButtonDrawsNothingWhileAFaceIsMissing) {
    m_png.ReleaseStateImages();
    Pixels pixels(246, 47, RGB(255, 0, 255));
    m_png.Render(pixels.Dc());
    EXPECT_TRUE(Near(pixels.At(123, 30), {255, 0, 255}));
}

TEST_F(ButtonTest, PngButtonWithoutBackgroundDrawsOverWhite) {
    // The solved face has a transparent margin: what shows there is the white brush.
    CPngButton &button = m_png;
    button.ReleaseStateImages();
    button.LoadStateImages(IDB_SOLVED_NORMAL, IDB_SOLVED_HOVER, IDB_SOLVED_PRESSED, IDB_SOLVED_DISABLED);
    m_host.Place(IDC_T_PNG_BUTTON, 20, 20, 266, 60);
    Pixels pixels(266, 60, RGB(255, 0, 255));
    button.Render(pixels.Dc());
    EXPECT_TRUE(Near(pixels.At(1, 1), {255, 255, 255}));
}

TEST_F(ButtonTest, CursorInsideCountsOnlyTheBodyWithinTheHitInsets) {
    const RECT rect = ScreenRect(m_image.GetSafeHwnd());
    const int middle = (rect.top + rect.bottom) / 2;
    MoveCursorTo(rect.left + 20, middle);
    ASSERT_TRUE(PumpUntil([] { return true; }));
    EXPECT_TRUE(m_image.IsCursorInside());
    MoveCursorTo(rect.left + 4, middle);  // in the transparent margin
    EXPECT_FALSE(m_image.IsCursorInside());
    MoveCursorTo(rect.right - 9, middle);  // first pixel of the right inset
    EXPECT_FALSE(m_image.IsCursorInside());
    MoveCursorTo(rect.right - 10, middle);
    EXPECT_TRUE(m_image.IsCursorInside());
    MoveCursorTo((rect.left + rect.right) / 2, rect.top + 8);
    EXPECT_FALSE(m_image.IsCursorInside());
    MoveCursorTo(rect.left - 30, middle);
    EXPECT_FALSE(m_image.IsCursorInside());
    m_image.SetHitInsets(0, 0, 0, 0);
    MoveCursorTo(rect.left + 4, middle);
    EXPECT_TRUE(m_image.IsCursorInside());
}

TEST_F(ButtonTest, ImageButtonPaintsItsBackgroundSliceEvenWithoutFaces) {
    winui::ImagePtr layer;
    ASSERT_TRUE(LoadPngResourceOnce(layer, IDB_MAIN_LAYER));
    m_image.ReleaseStateImages();
    m_image.SetBkImage(layer.get());
    m_image.SetBkSourceRect(0, 0, 266, 60);  // the header's blue
    Pixels pixels(266, 60);
    m_image.Render(pixels.Dc(), true);
    ImagePixels png;
    ASSERT_TRUE(ReadPng(IDB_MAIN_LAYER, png));
    EXPECT_TRUE(Near(pixels.At(200, 40), png.At(200, 40)));
}

namespace {

class CheckBoxTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Open());
        ASSERT_TRUE(m_box.Attach(m_host.GetSafeHwnd(), IDC_T_CHECK3));
        m_host.Place(IDC_T_CHECK3, 20, 200, 120, 20);
        m_box.InitFontFromParent();
        ASSERT_TRUE(ReadPng(IDB_CHECKBOX, m_strip));
    }
    // Centre of the drawn box and of the two cells of the strip.
    Rgb BoxCentre() {
        Pixels pixels(120, 20);
        m_box.Render(pixels.Dc());
        return pixels.At(8, 10);
    }
    Rgb Cell(int left) { return m_strip.At(left + 8, 8); }

    HostDialog m_host;
    CCheckBoxBtn m_box;
    ImagePixels m_strip;
};

}  // namespace

TEST_F(CheckBoxTest, CheckedShowsTheSecondCellAnythingElseTheFirst) {
    ASSERT_FALSE(Near(Cell(0), Cell(16)));
    m_box.SetCheck(BST_CHECKED);
    EXPECT_TRUE(Near(BoxCentre(), Cell(16)));
    m_box.SetCheck(BST_UNCHECKED);
    EXPECT_TRUE(Near(BoxCentre(), Cell(0)));
    m_box.SetCheck(BST_INDETERMINATE);
    EXPECT_EQ(m_box.GetCheck(), BST_INDETERMINATE);
    EXPECT_TRUE(Near(BoxCentre(), Cell(0)));
}

TEST_F(CheckBoxTest, AClickTogglesAndTheWindowShowsOurCell) {
    m_box.SetCheck(BST_UNCHECKED);
    const RECT rect = ScreenRect(m_box.GetSafeHwnd());
    MoveCursorTo(rect.left + 8, rect.top + 10);
    PressLeft();
    ReleaseLeft();
    ASSERT_TRUE(PumpUntil([&] { return m_box.GetCheck() == BST_CHECKED; }));
    EXPECT_TRUE(PumpUntil([&] { return m_host.Clicks(IDC_T_CHECK3) == 1; }));
    // What the window itself shows right after the change: our checked cell, no system mark.
    HDC dc = GetDC(m_box.GetSafeHwnd());
    const COLORREF shown = GetPixel(dc, 8, 10);
    ReleaseDC(m_box.GetSafeHwnd(), dc);
    EXPECT_TRUE(Near({GetRValue(shown), GetGValue(shown), GetBValue(shown)}, Cell(16), 12));
    MoveCursorTo(700, 700);
}
