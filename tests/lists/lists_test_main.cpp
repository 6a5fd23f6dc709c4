// The media-list tests' main: the widget layer lives for the whole run, on Qt's offscreen
// platform.

#include <gtest/gtest.h>

#include "widgets.h"

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    InitWidgetLayer();
    const int result = RUN_ALL_TESTS();
    ReleaseWidgetLayer();
    return result;
}
