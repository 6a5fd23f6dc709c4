// The main of the test programs that run on the widget layer: one application object for the
// whole run, as the player has, on Qt's offscreen platform and SDL's dummy audio driver.
#include <gtest/gtest.h>

#include <cstdlib>

#include "qt_pool_threads.h"
#include "widgets.h"

int main(int argc, char **argv) {
    // CTest sets both; this keeps a direct run, and CTest's listing of the tests (made
    // without the tests' environment), headless too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    InitWidgetLayer();
    const int result = RUN_ALL_TESTS();
    ReleaseWidgetLayer();
    WaitForQtPoolThreadsToEnd();
    return result;
}
