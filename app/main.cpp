// Halden: prepares a PC for the office suite and installs it, in two runs with a restart between.
#include <windows.h>

#include "app/halden_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CHaldenApp app;
    return app.InitInstance();
}
