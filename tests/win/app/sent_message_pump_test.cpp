#include <windows.h>

#include <gtest/gtest.h>

#include "app/sent_message_pump.h"

namespace {

constexpr UINT kReport = WM_APP + 1;
HANDLE g_reporter = nullptr;
bool g_reportAnswered = false;
bool g_reporterEnded = false;

LRESULT CALLBACK Receiver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kReport) {
        g_reportAnswered = true;
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI Report(LPVOID window) {
    SendMessageW(static_cast<HWND>(window), kReport, 0, 0);  // waits for the receiving thread
    return 0;
}

// As the engine's release waits for a callback that is itself waiting in SendMessage to us. A
// watchdog instead of INFINITE, so that a deadlock fails the test instead of hanging it.
void WaitForReporter() { g_reporterEnded = WaitForSingleObject(g_reporter, 5000) == WAIT_OBJECT_0; }

}  // namespace

TEST(SentMessagePump, AWaitForAThreadSendingToUsIsAnsweredNotDeadlocked) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Receiver;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SentMessagePumpTest";
    ASSERT_TRUE(RegisterClassW(&windowClass));
    HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    g_reporter = CreateThread(nullptr, 0, Report, window, 0, nullptr);
    ASSERT_TRUE(g_reporter);
    Sleep(100);  // not needed for correctness: gives the reporter time to be inside SendMessage

    CallAnsweringSentMessages(WaitForReporter);
    EXPECT_TRUE(g_reporterEnded);
    EXPECT_TRUE(g_reportAnswered);
    CloseHandle(g_reporter);
    DestroyWindow(window);
}
