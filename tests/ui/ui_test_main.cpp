// One application object for the whole test program, as the player has.
#include <gtest/gtest.h>

#include <cstdlib>

#include "widgets.h"

int main(int argc, char **argv) {
    // CTest sets the platform; this keeps a direct run (and test listing) headless too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    InitWidgetLayer();
    const int result = RUN_ALL_TESTS();
    ReleaseWidgetLayer();
    return result;
}
