#pragma once
// Private window messages of the skinned dialogs. Sent with SendMessageW; data in wParam.
#include <windows.h>

// To the please-wait box (or to the main control layer, which passes it on): close the box.
constexpr UINT WM_CLOSE_EXECUTE_PROMPT = WM_USER + 501;
// To the prompt background: wParam 1 for the first button, 2 for the second.
constexpr UINT WM_PROMPT_RESULT = WM_USER + 0x215;
// To the feedback dialog's control layer, from its report worker when the report has been made.
constexpr UINT WM_FEEDBACK_REPORTED = WM_USER + 0x216;
