#include "app/views/common/Appearance.h"
#include "app/views/tests/screens/support/XvfbDisplay.h"

#include <QApplication>
#include <QIcon>
#include <cstring>
#include <gtest/gtest.h>

// Widget tests need a QApplication. They draw offscreen unless the executable is built to run
// its own X server (KELVANE_GUI_UNDER_XVFB), for tests of real windows.
int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
#ifdef KELVANE_GUI_UNDER_XVFB
    XvfbDisplay display;
    if (!listing)
        display.start();
    if (display.isRunning())
        qputenv("QT_QPA_PLATFORM", "xcb");
    else
        qputenv("QT_QPA_PLATFORM", "offscreen");
#else
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    // No desktop session leaks in: no portal of the developer's desktop, and no icon theme
    // (the application's own drawings show) unless KELVANE_TEST_ICON_THEME names one to look at.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    Appearance::useFusionStyle();
    QIcon::setThemeName(qEnvironmentVariable("KELVANE_TEST_ICON_THEME"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
