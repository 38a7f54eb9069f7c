// The skin tests run with a GDI+ session and the common controls, as the program does.
#include <gtest/gtest.h>

#include "winui/application.h"

int main(int argc, char **argv) {
    SetProcessDPIAware();
    testing::InitGoogleTest(&argc, argv);
    winui::Application application;
    if (!application.Ok()) return 3;
    return RUN_ALL_TESTS();
}
