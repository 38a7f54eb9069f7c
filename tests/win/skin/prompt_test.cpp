// The prompt in its modes: which buttons show where, what each returns, and that the keyboard
// neither confirms nor cancels it.
#include <gtest/gtest.h>

#include "skin/prompt_dlg.h"
#include "skin/resource_ids.h"
#include "skin/skin_messages.h"
#include "test_support.h"

namespace {

const wchar_t kQuestion[] = L"卸载成功，需要重启电脑，然后再次运行本软件才能进行下载安装。现在就要重启吗？";

struct Seen {
    bool secondVisible = false;
    int firstCentre = 0;
    int layerCentre = 0;
};

// Runs a prompt in mode, looks at it, then clicks the control with id; returns DoModal's result.
INT_PTR RunAndClick(int mode, int id, Seen *seen = nullptr) {
    CPromptDlg prompt;
    prompt.SetMode(mode);
    prompt.SetText(kQuestion);
    return RunModal(prompt, [&] {
        CPromptChildDlg *layer = prompt.GetPromptChild();
        ASSERT_NE(layer, nullptr);
        HWND window = layer->GetSafeHwnd();
        if (seen) {
            seen->secondVisible = IsWindowVisible(GetDlgItem(window, IDC_PROMPT_SECOND)) != FALSE;
            const RECT first = ScreenRect(GetDlgItem(window, IDC_PROMPT_FIRST));
            const RECT all = ScreenRect(window);
            seen->firstCentre = (first.left + first.right) / 2;
            seen->layerCentre = (all.left + all.right) / 2;
        }
        SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
    });
}

}  // namespace

TEST(Prompt, YesNoReturnsOkForTheFirstButtonAndCancelForTheOthers) {
    Seen seen;
    EXPECT_EQ(RunAndClick(skin::YesNo, IDC_PROMPT_FIRST, &seen), IDOK);
    EXPECT_TRUE(seen.secondVisible);
    EXPECT_LT(seen.firstCentre, seen.layerCentre);
    EXPECT_EQ(RunAndClick(skin::YesNo, IDC_PROMPT_SECOND), IDCANCEL);
    EXPECT_EQ(RunAndClick(skin::YesNo, IDC_BTN_CLOSE), IDCANCEL);
    EXPECT_EQ(RunAndClick(skin::ConfirmCancel, IDC_PROMPT_SECOND), IDCANCEL);
    EXPECT_EQ(RunAndClick(skin::ConfirmCancel, IDC_PROMPT_FIRST), IDOK);
}

TEST(Prompt, OneButtonModesCentreTheirButtonOtherModesLeaveItLeft) {
    for (int mode : {int(skin::YesOnly), int(skin::ConfirmOnly)}) {
        Seen seen;
        EXPECT_EQ(RunAndClick(mode, IDC_PROMPT_FIRST, &seen), IDOK) << mode;
        EXPECT_FALSE(seen.secondVisible) << mode;
        EXPECT_LE(std::abs(seen.firstCentre - seen.layerCentre), 1) << mode;
    }
    for (int mode : {0, 5}) {
        Seen seen;
        EXPECT_EQ(RunAndClick(mode, IDC_PROMPT_FIRST, &seen), IDOK) << mode;
        EXPECT_FALSE(seen.secondVisible) << mode;
        EXPECT_LT(seen.firstCentre, seen.layerCentre - 20) << mode;
    }
}

TEST(Prompt, ResultMessageEndsWithOkOnlyForOne) {
    for (WPARAM value : {WPARAM(1), WPARAM(2), WPARAM(7)}) {
        CPromptDlg prompt;
        const INT_PTR result = RunModal(prompt, [&] { SendMessageW(prompt.GetSafeHwnd(), WM_PROMPT_RESULT, value, 0); });
        EXPECT_EQ(result, value == 1 ? IDOK : IDCANCEL) << value;
    }
}

TEST(Prompt, EscapeAndEnterDoNothing) {
    CPromptDlg prompt;
    prompt.SetMode(skin::YesNo);
    bool stillOpen = false;
    bool swallowed = true;
    const INT_PTR result = RunModal(prompt, [&] {
        HWND layer = prompt.GetPromptChild()->GetSafeHwnd();
        HWND windows[] = {prompt.GetSafeHwnd(), layer, GetDlgItem(layer, IDC_PROMPT_FIRST),
                          GetDlgItem(layer, IDC_PROMPT_SECOND)};
        for (HWND window : windows) {
            for (WPARAM key : {WPARAM(VK_ESCAPE), WPARAM(VK_RETURN)}) {
                MSG message = {window, WM_KEYDOWN, key, 0, 0, {}};
                winui::Dialog *owner = winui::Dialog::FromHandle(GetAncestor(window, GA_ROOT));
                swallowed = swallowed && owner && owner->PreTranslateMessage(message);
                PostMessageW(window, WM_KEYDOWN, key, 0);
                PostMessageW(window, WM_KEYUP, key, 0);
            }
        }
        // The keys as a person types them, at whatever has the focus.
        SetForegroundWindow(layer);
        PressKey(VK_ESCAPE);
        PressKey(VK_RETURN);
        PumpUntil([] { return GetAsyncKeyState(VK_RETURN) == 0; }, 2000);
        PumpPending();
        stillOpen = prompt.IsModalRunning() && IsWindowVisible(prompt.GetSafeHwnd());
        SendMessageW(GetDlgItem(layer, IDC_PROMPT_SECOND), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(swallowed);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, IDCANCEL);  // from the second button, not from a key
}

TEST(Prompt, At120DpiTheBackgroundIs403By187AndTheLayerCoversItsOpaqueCentre) {
    CPromptDlg prompt;
    prompt.m_fScale = 1.2f;
    prompt.SetMode(skin::ConfirmOnly);
    RECT background = {}, layer = {}, button = {};
    RunModal(prompt, [&] {
        background = ScreenRect(prompt.GetSafeHwnd());
        HWND child = prompt.GetPromptChild()->GetSafeHwnd();
        layer = ScreenRect(child);
        button = ScreenRect(GetDlgItem(child, IDC_PROMPT_FIRST));
        prompt.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(background.right - background.left, 403);
    EXPECT_EQ(background.bottom - background.top, 187);
    EXPECT_EQ(layer.left - background.left, 6);
    EXPECT_EQ(layer.top - background.top, 3);
    EXPECT_EQ(background.right - layer.right, 6);
    EXPECT_EQ(background.bottom - layer.bottom, 8);
    EXPECT_EQ(button.right - button.left, 66);  // 55 x 1.2
    EXPECT_EQ(button.bottom - button.top, 28);
}

TEST(Prompt, LayerPaintsItsArtworkAndTheMessageInBlackOnWhite) {
    CPromptDlg prompt;
    prompt.SetMode(skin::YesNo);
    prompt.SetText(kQuestion);
    Rgb header, body;
    int inked = 0;
    std::wstring message;
    RunModal(prompt, [&] {
        CPromptChildDlg *layer = prompt.GetPromptChild();
        Pixels picture(320, 140);
        layer->Render(picture.Dc());
        header = picture.At(100, 12);
        body = picture.At(160, 80);
        message = layer->Message().GetWindowText();
        Pixels text(300, 50);
        layer->Message().Render(text.Dc());
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 300; ++x) inked += Near(text.At(x, y), {0, 0, 0}, 90) ? 1 : 0;
        prompt.EndDialog(IDOK);
    });
    ImagePixels art;
    ASSERT_TRUE(ReadPng(IDB_PROMPT_LAYER, art));
    EXPECT_TRUE(Near(header, art.At(100, 12)));
    EXPECT_TRUE(Near(body, {255, 255, 255}));
    EXPECT_EQ(message, kQuestion);
    EXPECT_GT(inked, 200);  // two lines of characters
}
