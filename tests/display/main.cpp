#include <gtest/gtest.h>

#include "widgets.h"

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    InitWidgetLayer();
    const int result = RUN_ALL_TESTS();
    ReleaseWidgetLayer();
    return result;
}
