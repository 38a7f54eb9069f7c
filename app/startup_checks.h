#pragma once
// The checks the main window makes before anything is shown: its reports can reach it, the system
// is supported, the download engine loads, the mouse hook is in and the feedback library is bound.
#include <windows.h>

#include "app/feedback_service.h"
#include "app/host_system.h"
#include "app/mouse_hook.h"

// Null when every check passed; otherwise the prompt that refuses the start (a failure to load the
// engine is logged with its reason first). Stops at the first failure.
const wchar_t *StartupRefusal(HWND window, CHostSystem &system, CMouseHook &hook, CFeedbackService &feedback);
