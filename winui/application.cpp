#include "application.h"

#include <commctrl.h>

namespace winui {

Application *Application::s_current = nullptr;

Application::Application() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);  // only the standard classes are used; their failure shows as a missing control
    s_current = this;
}

Application::~Application() {
    if (s_current == this) s_current = nullptr;
}

HWND Application::MainWindow() {
    if (!s_current || !IsWindow(s_current->m_mainWindow)) return nullptr;
    return s_current->m_mainWindow;
}

}  // namespace winui
