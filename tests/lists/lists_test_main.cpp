// The media-list tests' main: the widget layer lives for the whole run, on Qt's offscreen
// platform.

#include <gtest/gtest.h>

#include <cstdlib>

#include "widgets.h"

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Also when CTest lists the tests, which it does without the tests' environment.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    InitWidgetLayer();
    const int result = RUN_ALL_TESTS();
    ReleaseWidgetLayer();
    return result;
}
