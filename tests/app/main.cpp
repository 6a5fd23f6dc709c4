#include <gtest/gtest.h>

#include <cstdlib>

#include "qt_pool_threads.h"

int main(int argc, char **argv) {
    // Each test starts the player itself, which brings up the widget layer, headless.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    WaitForQtPoolThreadsToEnd();  // each test has ended its application object
    return result;
}
