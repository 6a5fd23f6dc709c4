// Both windows carry the program's icon from start-up on, in the sizes task bars and window
// switchers ask for, decoded from the PNGs the executable embeds.
#include <QIcon>

#include "player_fixture.h"

namespace {

using ProgramIcon = PlayerTest;

TEST_F(ProgramIcon, BothWindows_CarryTheEmbeddedSizes) {
    for (int window : {kMainWindow, kMiniWindow}) {
        auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(window));
        ASSERT_NE(widget, nullptr);
        const QIcon icon = widget->windowIcon();
        ASSERT_FALSE(icon.isNull()) << window;
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 24, 32, 48, 64, 128})
            EXPECT_TRUE(sizes.contains(QSize(size, size))) << window << ": " << size;
        // The 16 px one is the hand-made one, not a scaled copy: transparent corner, opaque
        // middle.
        const QImage small = icon.pixmap(16, 16).toImage();
        EXPECT_EQ(small.size(), QSize(16, 16));
        EXPECT_LT(qAlpha(small.pixel(0, 0)), 128);
        EXPECT_EQ(qAlpha(small.pixel(8, 8)), 255);
    }
}

}  // namespace
