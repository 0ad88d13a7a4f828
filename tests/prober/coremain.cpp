// Test programs of the prober run under a QCoreApplication: nothing here may need widgets or
// a display.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    // System error texts and log line formats in one known language.
    qputenv("LC_ALL", "C.UTF-8");
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
