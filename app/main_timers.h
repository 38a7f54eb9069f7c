#pragma once
// The main window's two timers: the links' hover colours follow the cursor every 100 ms (also once
// it has left the window), and the version check runs once, 100 ms after the window opened, so
// that the window is up before the feedback library is asked.
#include <windows.h>

enum class MainTimer { Other, LinkHover, VersionCheck };

class CMainTimers {
public:
    CMainTimers() = default;
    CMainTimers(const CMainTimers &) = delete;
    CMainTimers &operator=(const CMainTimers &) = delete;
    ~CMainTimers() { Stop(); }

    void Start(HWND window);
    void Stop();  // before the window goes; safe when not started
    // Which timer a WM_TIMER is for; the version check is stopped as it fires.
    MainTimer Fired(UINT_PTR id);

private:
    HWND m_window = nullptr;
};
