#pragma once
// The application object: starts GDI+ and the common controls for the life of the process and
// knows the main window, which modal dialogs without a parent are owned by.
#include <windows.h>

#include <map>

#include "gdi_guards.h"

namespace winui {

class Application {
public:
    Application();
    ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    bool Ok() const { return m_gdiplus.Ok(); }

    static Application *Current() { return s_current; }
    static HINSTANCE ResourceInstance() { return GetModuleHandleW(nullptr); }
    // Null while there is no application object or no main window yet.
    static HWND MainWindow();
    void SetMainWindow(HWND window) { m_mainWindow = window; }
    // Images decoded once for the run, by resource id (skin/png_resource.h); user-interface thread
    // only. They go before the GDI+ session does.
    std::map<UINT, ImagePtr> &DecodedImages() { return m_decodedImages; }

private:
    GdiplusSession m_gdiplus;
    std::map<UINT, ImagePtr> m_decodedImages;
    HWND m_mainWindow = nullptr;
    static Application *s_current;
};

}  // namespace winui
