#pragma once
// Private window messages within the skin's dialogs (sysops/private_messages.h has those the
// workers send, from WM_USER + 501).
#include <windows.h>

// To the prompt background: wParam 1 for the first button, 2 for the second.
constexpr UINT WM_PROMPT_RESULT = WM_USER + 0x215;  // 1557
// To the feedback dialog's control layer, from its report worker when the report has been made.
constexpr UINT WM_FEEDBACK_REPORTED = WM_USER + 0x216;  // 1558
// To a dialog pair's background, posted by itself: show the layer and then the background.
constexpr UINT WM_SHOW_PAIR = WM_USER + 0x217;  // 1559
