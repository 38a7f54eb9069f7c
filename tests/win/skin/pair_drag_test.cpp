// Moving a dialog pair: the layer's top band drags both windows, its right end does not, and once
// dragged the background no longer carries the layer when it moves by other means.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "skin/prompt_dlg.h"
#include "skin/resource_ids.h"
#include "test_support.h"

namespace {

bool SameOffsets(const RECT &background, const RECT &layer, int left, int top, int right, int bottom) {
    return layer.left - background.left == left && layer.top - background.top == top &&
           background.right - layer.right == right && background.bottom - layer.bottom == bottom;
}

// Whether the user-interface thread is in the system's move loop.
bool InMoveLoop(DWORD thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
}

// The window the user-interface thread's move loop moves.
HWND MovedWindow(DWORD thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) ? info.hwndMoveSize : nullptr;
}

template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);  // another thread's state is polled; the condition decides, not the delay
    }
    return true;
}

}  // namespace

TEST(PairDrag, TheBandIsACaptionExceptItsRightEnd) {
    CPromptDlg prompt;
    LRESULT top = 0, belowBand = 0, rightEnd = 0, lastInBand = 0;
    bool dragging = false;
    RunModal(prompt, [&] {
        HWND layer = prompt.GetPromptChild()->GetSafeHwnd();
        const RECT rect = ScreenRect(layer);
        const auto hit = [&](int x, int y) { return SendMessageW(layer, WM_NCHITTEST, 0, MAKELPARAM(x, y)); };
        top = hit(rect.left + 40, rect.top + 2);
        dragging = prompt.GetPromptChild()->IsDragging();
        lastInBand = hit(rect.right - 27, rect.top + 29);
        belowBand = hit(rect.left + 40, rect.top + 30);
        rightEnd = hit(rect.right - 5, rect.top + 10);
        prompt.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(top, HTCAPTION);
    EXPECT_TRUE(dragging);
    EXPECT_EQ(lastInBand, HTCAPTION);
    EXPECT_NE(belowBand, HTCAPTION);
    EXPECT_NE(rightEnd, HTCAPTION);
}

TEST(PairDrag, DraggingTheBandMovesBothAndThenTheLayerNoLongerFollows) {
    CPromptDlg prompt;
    const DWORD uiThread = GetCurrentThreadId();
    RECT layerBefore = {}, layerAfter = {}, backgroundAfter = {}, layerAfterMove = {};
    bool followedBefore = false, followsAfter = true, moveLoopSeen = false, farEndIgnored = false, grabbedLayer = false;
    std::thread mouse;
    std::atomic<bool> dragDone{false};
    RunModal(prompt, [&] {
        HWND background = prompt.GetSafeHwnd();
        HWND layer = prompt.GetPromptChild()->GetSafeHwnd();
        // Before any drag the layer follows the background.
        const RECT start = ScreenRect(background);
        SetWindowPos(background, nullptr, start.left - 30, start.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        followedBefore = SameOffsets(ScreenRect(background), ScreenRect(layer), 5, 3, 5, 7);

        layerBefore = ScreenRect(layer);
        // A press in the right end of the band is no drag (it is not on the close button either).
        MoveCursorTo(layerBefore.right - 4, layerBefore.top + 25);
        PressLeft();
        ReleaseLeft();
        PumpUntil([] { return GetAsyncKeyState(VK_LBUTTON) == 0; }, 2000);
        PumpPending();
        const RECT afterPress = ScreenRect(layer);
        farEndIgnored = EqualRect(&layerBefore, &afterPress) != FALSE && !InMoveLoop(uiThread);

        const POINT grip = {layerBefore.left + 60, layerBefore.top + 12};
        mouse = std::thread([&, grip, layer] {
            // Under load Wine's z-order had the background above its layer for a moment, and a press
            // there grabbed the background: a hand that grabbed the wrong thing lets go and presses again.
            for (int attempt = 0; attempt < 5; ++attempt) {
                MoveCursorTo(grip.x, grip.y);
                PressLeft();
                moveLoopSeen = WaitFor([&] { return InMoveLoop(uiThread); });
                if (!moveLoopSeen || MovedWindow(uiThread) == layer) break;
                ReleaseLeftAt(grip.x, grip.y);
                WaitFor([&] { return !InMoveLoop(uiThread); });
            }
            grabbedLayer = MovedWindow(uiThread) == layer;
            // A hand moves on once the window is where it led it: under load Wine's move loop lost the
            // last of moves that came faster than it took them, and a release then ended the drag short.
            for (int step = 1; step <= 8; ++step) {
                const auto reached = [&] {
                    const RECT now = ScreenRect(layer);
                    return now.left == layerBefore.left + 10 * step && now.top == layerBefore.top + 5 * step;
                };
                for (int tries = 0; tries < 10 && !reached(); ++tries) {
                    MoveCursorTo(grip.x + 10 * step, grip.y + 5 * step);
                    WaitFor(reached, 1000);
                }
            }
            ReleaseLeftAt(grip.x + 80, grip.y + 40);
            WaitFor([&] { return !InMoveLoop(uiThread); });
            dragDone = true;
        });
        PumpUntil([&] { return dragDone.load(); }, 8000);
        // Under a window manager the background's move is a request that the manager answers a
        // moment later: what counts is where the pair comes to rest.
        PumpUntil(
            [&] {
                const RECT now = ScreenRect(layer);
                return now.left == layerBefore.left + 80 && SameOffsets(ScreenRect(background), now, 5, 3, 5, 7);
            },
            3000);
        layerAfter = ScreenRect(layer);
        backgroundAfter = ScreenRect(background);
        followsAfter = prompt.ChildFollows();

        // Now moving the background by other means leaves the layer where it is.
        SetWindowPos(background, nullptr, backgroundAfter.left + 50, backgroundAfter.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
        layerAfterMove = ScreenRect(layer);
        prompt.EndDialog(IDCANCEL);
    });
    if (mouse.joinable()) mouse.join();
    EXPECT_TRUE(followedBefore);
    EXPECT_TRUE(farEndIgnored);
    EXPECT_TRUE(moveLoopSeen);
    EXPECT_TRUE(grabbedLayer) << "every press on the band moved another window than the layer";
    EXPECT_EQ(layerAfter.left - layerBefore.left, 80);
    EXPECT_EQ(layerAfter.top - layerBefore.top, 40);
    EXPECT_TRUE(SameOffsets(backgroundAfter, layerAfter, 5, 3, 5, 7));
    EXPECT_FALSE(followsAfter);
    EXPECT_TRUE(EqualRect(&layerAfter, &layerAfterMove));
}

// When only an outline follows the cursor, the system hit-tests the unmoved window with a cursor
// that has long left its band; the move at the end of the loop must still take the background.
TEST(PairDrag, AnOutlineDragStillTakesTheBackgroundAlong) {
    CPromptDlg prompt;
    RECT background = {}, layer = {};
    RunModal(prompt, [&] {
        HWND window = prompt.GetPromptChild()->GetSafeHwnd();
        const RECT start = ScreenRect(window);
        SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(start.left + 40, start.top + 10));
        SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
        SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(start.left + 40, start.top + 90));
        SetWindowPos(window, nullptr, start.left + 50, start.top + 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
        background = ScreenRect(prompt.GetSafeHwnd());
        layer = ScreenRect(window);
        prompt.EndDialog(IDCANCEL);
    });
    EXPECT_TRUE(SameOffsets(background, layer, 5, 3, 5, 7));
    EXPECT_FALSE(prompt.ChildFollows());
}
