// Layout arithmetic and texts of the skinned windows at scales 1.0, 1.2 and 1.44.
#include <gtest/gtest.h>

#include "skin/layout.h"

using namespace skin;

namespace {

Rect R(int left, int top, int width, int height) { return RectOfSize(left, top, width, height); }

void ExpectRect(const Rect &actual, int left, int top, int width, int height) {
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.Width(), width);
    EXPECT_EQ(actual.Height(), height);
}

}  // namespace

TEST(DisplayScale, DividesByHundredAboveHundredDpiOnly) {
    EXPECT_FLOAT_EQ(ScaleFromLogPixels(72), 1.0f);
    EXPECT_FLOAT_EQ(ScaleFromLogPixels(96), 1.0f);
    EXPECT_FLOAT_EQ(ScaleFromLogPixels(100), 1.0f);
    EXPECT_FLOAT_EQ(ScaleFromLogPixels(120), 1.2f);
    EXPECT_FLOAT_EQ(ScaleFromLogPixels(144), 1.44f);
}

TEST(DisplayScale, ProductsAreTruncatedNotRounded) {
    EXPECT_EQ(Scaled(336, 1.2f), 403);  // 403.2
    EXPECT_EQ(Scaled(611, 1.2f), 733);  // 733.2
    EXPECT_EQ(Scaled(55, 1.44f), 79);   // 79.2
    EXPECT_EQ(Scaled(60, 1.44f), 86);   // 86.4
    EXPECT_EQ(Scaled(9, 1.44f), 12);    // 12.96
    EXPECT_EQ(ScaledD(31.2, 1.0f), 31);
}

TEST(PairGeometry, BackgroundSizesAtEachScale) {
    const Size prompt10 = BackgroundSize(kPromptPair, 1.0f);
    EXPECT_EQ(prompt10.width, 336);
    EXPECT_EQ(prompt10.height, 156);
    const Size prompt12 = BackgroundSize(kPromptPair, 1.2f);
    EXPECT_EQ(prompt12.width, 403);
    EXPECT_EQ(prompt12.height, 187);
    const Size feedback144 = BackgroundSize(kFeedbackPair, 1.44f);
    EXPECT_EQ(feedback144.width, 590);
    EXPECT_EQ(feedback144.height, 689);
    const Size wait12 = BackgroundSize(kExecutePromptPair, 1.2f);
    EXPECT_EQ(wait12.width, 278);
    EXPECT_EQ(wait12.height, 158);
}

TEST(PairGeometry, LayerSitsInsideTheShadowAndTheBackgroundFollowsItBack) {
    const Rect background = R(100, 50, 403, 187);  // prompt at 1.2: insets 6, 3, 6, 8
    const Rect layer = LayerRectInBackground(background, kPromptPair, 1.2f);
    ExpectRect(layer, 106, 53, 391, 176);
    EXPECT_EQ(BackgroundRectAroundLayer(layer, kPromptPair, 1.2f), background);

    const Rect wait = LayerRectInBackground(R(0, 0, 232, 132), kExecutePromptPair, 1.0f);
    ExpectRect(wait, 14, 12, 204, 104);  // exactly the layer image
}

TEST(PairGeometry, CentredOnScreenUsesHalvesOfEach) {
    ExpectRect(CentredOnScreen(1280, 1024, {403, 187}), 640 - 201, 512 - 93, 403, 187);
}

TEST(CaptionBand, TopBandLessTheRightEndDragsTheDraggablePairs) {
    const Rect client = R(200, 100, 320, 140);  // prompt layer at 1.0
    EXPECT_TRUE(InCaptionBand(client, 200, 100, kPromptPair, 1.0f));
    EXPECT_TRUE(InCaptionBand(client, 493, 129, kPromptPair, 1.0f));   // last pixel before the close area
    EXPECT_FALSE(InCaptionBand(client, 494, 110, kPromptPair, 1.0f));  // rightmost 26 pixels
    EXPECT_FALSE(InCaptionBand(client, 300, 130, kPromptPair, 1.0f));  // below the 30-pixel band
    // At 1.2 the band is 36 high and leaves 31 pixels on the right.
    const Rect scaled = R(0, 0, 391, 176);
    EXPECT_TRUE(InCaptionBand(scaled, 359, 35, kPromptPair, 1.2f));
    EXPECT_FALSE(InCaptionBand(scaled, 360, 10, kPromptPair, 1.2f));
    EXPECT_FALSE(InCaptionBand(scaled, 10, 36, kPromptPair, 1.2f));
    // The box never drags.
    EXPECT_FALSE(InCaptionBand(R(0, 0, 204, 104), 10, 10, kExecutePromptPair, 1.0f));
}

TEST(Buttons, DisabledFaceWhateverTheStateAndNoFaceForUnknownStates) {
    EXPECT_EQ(ChooseFace(true, Normal), Face::Normal);
    EXPECT_EQ(ChooseFace(true, Hover), Face::Hover);
    EXPECT_EQ(ChooseFace(true, Pressed), Face::Pressed);
    EXPECT_EQ(ChooseFace(true, 0), Face::None);
    EXPECT_EQ(ChooseFace(true, 4), Face::None);
    for (int state : {0, int(Normal), int(Hover), int(Pressed), 9}) EXPECT_EQ(ChooseFace(false, state), Face::Disabled);
}

TEST(Buttons, PngButtonDropsTheLastRowAndColumnOnlyWhenScaledUp) {
    EXPECT_EQ(PngButtonFaceSource(26, 34, 1.0f), R(0, 0, 26, 34));
    EXPECT_EQ(PngButtonFaceSource(26, 34, 1.2f), R(0, 0, 25, 33));
    EXPECT_EQ(PngButtonFaceSource(26, 34, 0.9f), R(0, 0, 26, 34));
}

TEST(Buttons, HitInsetsShrinkTheClickableBody) {
    const Rect client = R(0, 0, 266, 60);
    const Insets nine = {9, 9, 9, 9};
    EXPECT_TRUE(InsideHitInsets(client, nine, 9, 9));
    EXPECT_TRUE(InsideHitInsets(client, nine, 256, 50));
    EXPECT_FALSE(InsideHitInsets(client, nine, 8, 30));
    EXPECT_FALSE(InsideHitInsets(client, nine, 257, 30));
    EXPECT_FALSE(InsideHitInsets(client, nine, 100, 51));
    EXPECT_TRUE(InsideHitInsets(client, {}, 0, 0));
}

TEST(CheckBox, OnlyCheckedShowsTheCheckedCell) {
    EXPECT_EQ(CheckBoxCellLeft(1), 16);
    EXPECT_EQ(CheckBoxCellLeft(0), 0);
    EXPECT_EQ(CheckBoxCellLeft(2), 0);  // BST_INDETERMINATE
    EXPECT_EQ(CheckBoxCellLeft(4), 0);
}

TEST(CheckBox, BoxIsCentredVerticallyAndTextFollowsIt) {
    ExpectRect(CheckBoxBoxRect(R(0, 0, 60, 20), 1.0f), 0, 2, 16, 16);
    ExpectRect(CheckBoxBoxRect(R(0, 0, 72, 24), 1.2f), 0, 3, 19, 19);
    EXPECT_EQ(CheckBoxTextLeft(R(0, 0, 60, 20), 1.0f), 18);
    EXPECT_EQ(CheckBoxTextLeft(R(0, 0, 60, 20), 1.44f), 25);
}

TEST(Progress, FillIsCutFromItsImageNotSqueezed) {
    const Rect bar = R(0, 0, 456, 20);
    ProgressFill half = ComputeProgressFill(bar, 50, 456, 20);
    EXPECT_EQ(half.destination, R(0, 0, 228, 20));
    EXPECT_EQ(half.sourceWidth, 228);
    EXPECT_EQ(half.sourceHeight, 20);

    ProgressFill full = ComputeProgressFill(bar, 100, 456, 20);
    EXPECT_EQ(full.destination.Width(), 456);
    EXPECT_EQ(full.sourceWidth, 456);

    // Above 100 the whole image is stretched wider than the bar; the control's edge clips it.
    ProgressFill over = ComputeProgressFill(bar, 150, 456, 20);
    EXPECT_EQ(over.destination.Width(), 684);
    EXPECT_EQ(over.sourceWidth, 456);

    // A bar narrower than its image (the main window's, 350 wide) still cuts the image at 50 %.
    ProgressFill narrow = ComputeProgressFill(R(25, 0, 350, 20), 50, 456, 20);
    EXPECT_EQ(narrow.destination, R(25, 0, 175, 20));
    EXPECT_EQ(narrow.sourceWidth, 228);

    EXPECT_EQ(ComputeProgressFill(bar, 0, 456, 20).destination.Width(), 0);
    EXPECT_EQ(ComputeProgressFill(bar, -20, 456, 20).destination.Width(), 0);
    EXPECT_EQ(ComputeProgressFill(bar, -20, 456, 20).sourceWidth, 0);
}

TEST(Progress, TextShowsPercentAndSpeedUnchanged) {
    EXPECT_EQ(ProgressText(0, L"0.0B"), L"0 %  0.0B/s");
    EXPECT_EQ(ProgressText(50, L"2.4MB"), L"50 %  2.4MB/s");
    EXPECT_EQ(ProgressText(150, L"1.0KB"), L"150 %  1.0KB/s");
    EXPECT_EQ(ProgressText(40, L"2.4MB", L"网络中断，2 秒后重试（第 1 次）"), L"40 %  网络中断，2 秒后重试（第 1 次）");
}

TEST(StatusDots, CycleNoneOneTwoThreeNone) {
    int dots = 0;
    const int expected[] = {1, 2, 3, 0, 1};
    for (int next : expected) {
        dots = NextDotCount(dots);
        EXPECT_EQ(dots, next);
    }
    EXPECT_EQ(WithDots(L"正在修复，请稍等", 0), L"正在修复，请稍等");
    EXPECT_EQ(WithDots(L"正在修复，请稍等", 3), L"正在修复，请稍等...");
    EXPECT_EQ(WithDots(L"x", 1), L"x.");
}

TEST(PromptLayout, TwoButtonModesStandSideBySide) {
    const PromptLayout yesNo = LayOutPrompt(R(0, 0, 320, 140), 1.0f, YesNo);
    ExpectRect(yesNo.close, 294, 8, 12, 12);
    ExpectRect(yesNo.first, 93, 107, 55, 24);
    ExpectRect(yesNo.second, 172, 107, 55, 24);
    EXPECT_EQ(yesNo.message, Rect({10, 50, 310, 100}));
    EXPECT_TRUE(yesNo.secondVisible);
    EXPECT_EQ(yesNo.firstFaces.normal, 178u);
    EXPECT_EQ(yesNo.firstFaces.disabled, 180u);  // the pressed face again
    EXPECT_EQ(yesNo.secondFaces.normal, 172u);

    const PromptLayout confirmCancel = LayOutPrompt(R(0, 0, 320, 140), 1.0f, ConfirmCancel);
    EXPECT_TRUE(confirmCancel.secondVisible);
    EXPECT_EQ(confirmCancel.firstFaces.normal, 175u);
    EXPECT_EQ(confirmCancel.secondFaces.normal, 166u);
    EXPECT_EQ(confirmCancel.secondFaces.disabled, 168u);
}

TEST(PromptLayout, OneButtonModesCentreItOthersLeaveItLeftOfCentre) {
    for (int mode : {int(YesOnly), int(ConfirmOnly)}) {
        const PromptLayout one = LayOutPrompt(R(0, 0, 320, 140), 1.0f, mode);
        EXPECT_FALSE(one.secondVisible);
        ExpectRect(one.first, 133, 107, 55, 24);
        EXPECT_EQ(one.first.left + one.first.Width() / 2, 160);
    }
    EXPECT_EQ(LayOutPrompt(R(0, 0, 320, 140), 1.0f, ConfirmOnly).firstFaces.normal, 175u);
    for (int mode : {0, 5}) {
        const PromptLayout odd = LayOutPrompt(R(0, 0, 320, 140), 1.0f, mode);
        EXPECT_FALSE(odd.secondVisible);
        ExpectRect(odd.first, 93, 107, 55, 24);
        EXPECT_EQ(odd.firstFaces.normal, 178u);
        EXPECT_EQ(odd.secondFaces.normal, 172u);
    }
}

TEST(PromptLayout, ScalesWithTheLayerAt120Dpi) {
    const PromptLayout layout = LayOutPrompt(R(0, 0, 391, 176), 1.2f, YesNo);
    ExpectRect(layout.close, 391 - 31, 9, 14, 14);
    ExpectRect(layout.first, 195 - 66 - 14, 128, 66, 28);
    ExpectRect(layout.second, 195 + 14, 128, 66, 28);
    EXPECT_EQ(layout.message, Rect({12, 60, 379, 128}));
    ExpectRect(LayOutPrompt(R(0, 0, 391, 176), 1.2f, ConfirmOnly).first, 195 - 33, 128, 66, 28);
}

TEST(ExecutePrompt, SitsCentredAndTwentyAboveTheOwnersMiddle) {
    ExpectRect(ExecutePromptPlacement(R(100, 100, 500, 400), 1.0f), 234, 214, 232, 132);
    ExpectRect(ExecutePromptPlacement(R(100, 100, 500, 400), 1.2f), 211, 197, 278, 158);
}

TEST(ExecutePrompt, StatusLinesUpWithItsSlice) {
    const Rect status = ExecutePromptStatusRect(R(0, 0, 204, 104), 1.0f);
    EXPECT_EQ(status, kExecutePromptStatusSlice);
    EXPECT_EQ(ExecutePromptStatusRect(R(0, 0, 245, 125), 1.2f), Rect({12, 50, 233, 98}));
}

TEST(ExecutePrompt, EmptyOrOneCharacterTextFallsBackToTheDefault) {
    EXPECT_EQ(ExecutePromptText(L""), L"正在修复，请稍等");
    EXPECT_EQ(ExecutePromptText(L"下"), L"正在修复，请稍等");
    EXPECT_EQ(ExecutePromptText(L"下载"), L"下载");
    EXPECT_EQ(ExecutePromptText(L"正在下载，请稍等"), L"正在下载，请稍等");
}

TEST(FeedbackLayout, AnswersStackOnTheCentreLineAtNominalSize) {
    const FeedbackLayout layout = LayOutFeedback(R(0, 0, 400, 468), 1.0f);
    ExpectRect(layout.close, 382, 6, 12, 12);
    ExpectRect(layout.answers[0], 67, 154, 266, 60);
    ExpectRect(layout.answers[1], 67, 234, 266, 60);
    ExpectRect(layout.answers[2], 67, 314, 266, 60);
    EXPECT_EQ(layout.slices[2], layout.answers[2]);
    EXPECT_EQ(layout.hitInset, 9);
}

TEST(FeedbackLayout, ScaledAnswersKeepTheirImageSlices) {
    // 144 dpi: background 590 x 689, layer inside insets 7, 5, 7, 10.
    const FeedbackLayout layout = LayOutFeedback(R(0, 0, 576, 674), 1.44f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(layout.answers[i].Width(), 383);
        EXPECT_EQ(layout.answers[i].Height(), 86);
        EXPECT_EQ(layout.answers[i].left, 96);
        EXPECT_EQ(layout.answers[i].top, 221 + 115 * i);
        EXPECT_EQ(layout.slices[i], Rect({67, 154 + 80 * i, 333, 214 + 80 * i}));
    }
    EXPECT_EQ(layout.hitInset, 12);
    ExpectRect(layout.close, 550, 8, 17, 17);  // 576 - 25.92, truncated
}
