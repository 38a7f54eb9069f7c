#include "app/main_timers.h"

namespace {

constexpr UINT_PTR kLinkHover = 33;
constexpr UINT_PTR kVersionCheck = 38;
constexpr UINT kPeriodMs = 100;

}  // namespace

void CMainTimers::Start(HWND window) {
    m_window = window;
    SetTimer(window, kLinkHover, kPeriodMs, nullptr);
    SetTimer(window, kVersionCheck, kPeriodMs, nullptr);
}

void CMainTimers::Stop() {
    if (!m_window) return;
    KillTimer(m_window, kLinkHover);
    KillTimer(m_window, kVersionCheck);
    m_window = nullptr;
}

MainTimer CMainTimers::Fired(UINT_PTR id) {
    if (id == kLinkHover) return MainTimer::LinkHover;
    if (id != kVersionCheck) return MainTimer::Other;
    KillTimer(m_window, kVersionCheck);
    return MainTimer::VersionCheck;
}
