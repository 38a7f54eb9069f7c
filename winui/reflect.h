#pragma once
// Messages a dialog passes back to the control they concern, so that controls draw themselves.
#include <windows.h>

namespace winui {

// The same offset OLE controls use for reflected messages; far above our private messages.
constexpr UINT kReflectBase = WM_USER + 0x1C00;
constexpr UINT kReflectDrawItem = kReflectBase + WM_DRAWITEM;

}  // namespace winui
