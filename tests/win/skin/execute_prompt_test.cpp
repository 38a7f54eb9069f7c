// The please-wait box: its text, its placement over its owner, and every way it closes or does not.
#include <gtest/gtest.h>

#include <thread>

#include "skin/execute_prompt_dlg.h"
#include "skin/resource_ids.h"
#include "sysops/private_messages.h"
#include "test_support.h"

namespace {

const wchar_t kDefault[] = L"正在修复，请稍等";

// An ordinary window for the box to sit over.
class Owner {
public:
    Owner() {
        m_window = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 200, 150, 500, 400, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~Owner() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }

private:
    HWND m_window;
};

std::wstring StatusText(CExecutePromptDlg &box) { return box.GetExecuteChild()->Status().GetWindowText(); }

}  // namespace

TEST(ExecutePrompt, EmptyOrOneCharacterTextShowsTheDefaultWithDots) {
    for (const wchar_t *given : {L"", L"下"}) {
        CExecutePromptDlg box;
        box.SetText(given);
        std::wstring shown;
        bool animating = false;
        RunModal(box, [&] {
            shown = StatusText(box);
            animating = PumpUntil([&] { return box.GetExecuteChild()->Status().GetDotCount() > 0; }, 4000);
            box.RequestClose();
        });
        EXPECT_EQ(shown, kDefault);
        EXPECT_TRUE(animating);
    }
    CExecutePromptDlg box;
    box.SetText(L"正在下载，请稍等");
    std::wstring shown;
    RunModal(box, [&] {
        shown = StatusText(box);
        box.RequestClose();
    });
    EXPECT_EQ(shown, L"正在下载，请稍等");
}

TEST(ExecutePrompt, UpdateTextChangesTheShownTextAtOnceAndKeepsAnimating) {
    CExecutePromptDlg box;
    box.UpdateText(L"before the window");  // nothing to update yet: must not crash
    box.SetText(L"正在下载，请稍等");
    std::wstring after;
    bool stillAnimating = false;
    RunModal(box, [&] {
        box.UpdateText(L"正在安装，请稍等");
        after = StatusText(box);
        const int dots = box.GetExecuteChild()->Status().GetDotCount();
        stillAnimating = PumpUntil([&] { return box.GetExecuteChild()->Status().GetDotCount() != dots; }, 4000);
        box.UpdateText(L"");
        EXPECT_EQ(StatusText(box), kDefault);
        box.RequestClose();
    });
    EXPECT_EQ(after, L"正在安装，请稍等");
    EXPECT_TRUE(stillAnimating);
}

TEST(ExecutePrompt, ClosesWhenTheRequestComesBeforeItsWindowExists) {
    CExecutePromptDlg box;
    box.RequestClose();
    EXPECT_EQ(RunModal(box, [] {}, 5000), IDOK);
}

TEST(ExecutePrompt, CloseMessageFromAWorkerEndsItWithOkAndStopsTheDots) {
    CExecutePromptDlg box;
    box.SetText(L"正在卸载，请稍等");
    std::thread worker;
    const INT_PTR result = RunModal(box, [&] {
        HWND window = box.GetSafeHwnd();
        worker = std::thread([window] { SendMessageW(window, WM_CLOSE_EXECUTE_PROMPT, 0, 0); });
    });
    worker.join();
    EXPECT_EQ(result, IDOK);
}

TEST(ExecutePrompt, TheUserCannotCloseIt) {
    CExecutePromptDlg box;
    bool stillOpen = false;
    const INT_PTR result = RunModal(box, [&] {
        HWND layer = box.GetExecuteChild()->GetSafeHwnd();
        for (HWND window : {box.GetSafeHwnd(), layer}) {
            PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        PumpPending();
        stillOpen = box.IsModalRunning() && IsWindow(box.GetSafeHwnd());
        SendMessageW(box.GetSafeHwnd(), WM_CLOSE_EXECUTE_PROMPT, 0, 0);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, IDOK);
}

TEST(ExecutePrompt, SitsCentredOverItsOwnerTwentyPixelsHigh) {
    Owner owner;
    ASSERT_NE(owner.Get(), nullptr);
    CExecutePromptDlg box(owner.Get());
    RECT background = {}, layer = {};
    RunModal(box, [&] {
        background = ScreenRect(box.GetSafeHwnd());
        layer = ScreenRect(box.GetExecuteChild()->GetSafeHwnd());
        box.RequestClose();
    });
    // Owner (200, 150) 500 x 400: left 200 + 134, top 150 + 200 - 66 - 20.
    EXPECT_EQ(background.left, 334);
    EXPECT_EQ(background.top, 264);
    EXPECT_EQ(background.right - background.left, 232);
    EXPECT_EQ(background.bottom - background.top, 132);
    EXPECT_EQ(layer.left - background.left, 14);
    EXPECT_EQ(layer.top - background.top, 12);
    EXPECT_EQ(layer.right - layer.left, 204);
    EXPECT_EQ(layer.bottom - layer.top, 104);
}

// One box object shown again and again, as a caller that keeps it would.
TEST(ExecutePrompt, EachCloseRequestClosesOneShowingOnly) {
    CExecutePromptDlg box;
    auto showAndClose = [&box] {
        bool visible = false;
        const INT_PTR result = RunModal(box, [&] {
            visible = IsWindowVisible(box.GetSafeHwnd()) != FALSE;
            box.RequestClose();
        });
        return result == IDOK && visible;
    };
    EXPECT_TRUE(showAndClose());
    EXPECT_TRUE(showAndClose());
    // A request with no box up is kept for the next showing, and forgotten once it has closed it.
    box.RequestClose();
    EXPECT_EQ(RunModal(box, [] {}, 5000), IDOK);
    EXPECT_TRUE(showAndClose());
}
