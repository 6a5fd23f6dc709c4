#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // Each test starts the player itself, which brings up the widget layer.
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
