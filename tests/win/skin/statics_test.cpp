// Drawn text, animated status and progress bar, checked by what they draw.
#include <gtest/gtest.h>

#include "host_dialog.h"
#include "skin/draw_png_progress_static.h"
#include "skin/draw_state_info_static.h"
#include "skin/draw_text_static.h"
#include "skin/png_resource.h"
#include "skin/resource_ids.h"
#include "test_ids.h"
#include "test_support.h"

namespace {

// Pixels of a colour within tolerance in a picture.
int CountNear(const Pixels &pixels, Rgb colour, int tolerance = 40) {
    int count = 0;
    for (int y = 0; y < pixels.Height(); ++y)
        for (int x = 0; x < pixels.Width(); ++x) count += Near(pixels.At(x, y), colour, tolerance) ? 1 : 0;
    return count;
}

class StaticsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_host.Open()); }
    HostDialog m_host;
};

}  // namespace

TEST_F(StaticsTest, ProgressFillCoversHalfTheBarAtFiftyPercent) {
    CDrawPngProgressStatic bar;
    ASSERT_TRUE(bar.Attach(m_host.GetSafeHwnd(), IDC_T_PROGRESS));
    m_host.Place(IDC_T_PROGRESS, 10, 10, 456, 20);
    winui::ImagePtr track, fill;
    ASSERT_TRUE(LoadPngResourceOnce(track, IDB_PROGRESS_TRACK));
    ASSERT_TRUE(LoadPngResourceOnce(fill, IDB_PROGRESS_FILL));
    bar.SetTrackImage(track.get());
    bar.SetFillImage(fill.get());
    bar.InitFontFromParent();
    ImagePixels trackPng, fillPng;
    ASSERT_TRUE(ReadPng(IDB_PROGRESS_TRACK, trackPng));
    ASSERT_TRUE(ReadPng(IDB_PROGRESS_FILL, fillPng));

    EXPECT_EQ(bar.ShownText(), L"0 %  0.0B/s");
    {
        Pixels empty(456, 20);
        bar.Render(empty.Dc());
        EXPECT_TRUE(Near(empty.At(60, 3), trackPng.At(60, 3)));
    }
    bar.SetPos(50);
    Pixels half(456, 20);
    bar.Render(half.Dc());
    // Row 3 lies above the text. The left 228 columns are the left half of the fill image, cut.
    for (int x : {20, 120, 227}) EXPECT_TRUE(Near(half.At(x, 3), fillPng.At(x, 3))) << x;
    for (int x : {228, 300, 430}) EXPECT_TRUE(Near(half.At(x, 3), trackPng.At(x, 3))) << x;

    bar.SetPos(100);
    Pixels full(456, 20);
    bar.Render(full.Dc());
    EXPECT_TRUE(Near(full.At(440, 3), fillPng.At(440, 3)));
    EXPECT_TRUE(Near(full.At(450, 10), fillPng.At(450, 10)));  // the right end too

    // Above 100 the whole fill is stretched past the edge: the bar stays fill, the text says 150.
    bar.SetSpeedText(L"1.5MB");
    bar.SetPos(150);
    EXPECT_EQ(bar.ShownText(), L"150 %  1.5MB/s");
    EXPECT_EQ(winui::WindowText(bar.GetSafeHwnd()), L"150 %  1.5MB/s");  // what other programs read
    Pixels over(456, 20);
    bar.Render(over.Dc());
    EXPECT_TRUE(Near(over.At(450, 3), fillPng.At(300, 3), 20));
    EXPECT_FALSE(Near(over.At(450, 3), trackPng.At(450, 3), 20));
}

TEST_F(StaticsTest, DotsCycleOnTheTimerAndStopClearsThem) {
    CDrawStateInfoStatic status;
    ASSERT_TRUE(status.Attach(m_host.GetSafeHwnd(), IDC_T_STATE));
    const std::wstring text = L"正在修复，请稍等";
    EXPECT_EQ(status.ShownText(), text);
    status.StartAnimation();
    // The real one-second timer moves the count on.
    ASSERT_TRUE(PumpUntil([&] { return status.GetDotCount() == 1; }, 4000));
    EXPECT_EQ(status.ShownText(), text + L".");
    const HWND window = status.GetSafeHwnd();
    const wchar_t *expected[] = {L"..", L"...", L"", L"."};
    for (const wchar_t *dots : expected) {
        SendMessageW(window, WM_TIMER, CDrawStateInfoStatic::kAnimationTimer, 0);
        EXPECT_EQ(status.ShownText(), text + dots);
    }
    SendMessageW(window, WM_TIMER, 99, 0);  // another timer leaves the dots alone
    EXPECT_EQ(status.GetDotCount(), 1);
    status.StopAnimation();
    EXPECT_EQ(status.ShownText(), text);
    // Stopped means stopped: the timer no longer exists, so killing it again fails.
    EXPECT_FALSE(KillTimer(window, CDrawStateInfoStatic::kAnimationTimer));
}

TEST_F(StaticsTest, TextDrawsInItsModeAndColourAndTurnsToTheHoverColour) {
    CDrawTextStatic text;
    ASSERT_TRUE(text.Attach(m_host.GetSafeHwnd(), IDC_T_TEXT));
    m_host.Place(IDC_T_TEXT, 10, 40, 200, 24);
    text.InitFontFromParent();
    text.SetWindowText(L"反馈问题反馈问题");
    text.SetTextColors(RGB(0, 160, 0), RGB(200, 0, 0));
    text.SetAlignMode(1);
    Pixels normal(200, 24);
    text.Render(normal.Dc());
    EXPECT_GT(CountNear(normal, {0, 160, 0}), 20);
    EXPECT_EQ(CountNear(normal, {200, 0, 0}), 0);

    const RECT rect = ScreenRect(text.GetSafeHwnd());
    text.UpdateHover({rect.left + 5, rect.top + 5});
    EXPECT_TRUE(text.IsHover());
    Pixels hover(200, 24);
    text.Render(hover.Dc());
    EXPECT_GT(CountNear(hover, {200, 0, 0}), 20);
    EXPECT_EQ(CountNear(hover, {0, 160, 0}), 0);
    text.UpdateHover({rect.right + 5, rect.top + 5});
    EXPECT_FALSE(text.IsHover());
    EXPECT_TRUE(text.HitTest({rect.left, rect.top}));
    EXPECT_FALSE(text.HitTest({rect.left - 1, rect.top}));

    // Mode 5 is no text mode of this control: background only.
    text.SetAlignMode(5);
    Pixels none(200, 24);
    text.Render(none.Dc());
    EXPECT_EQ(CountNear(none, {255, 255, 255}, 0), 200 * 24);
}
