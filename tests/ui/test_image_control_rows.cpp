// An image control given new pixels in a few rows repaints those rows only, and shows the
// whole new image afterwards.
#include <QCoreApplication>
#include <QPaintEvent>
#include <QWidget>

#include "image_control.h"
#include "layer_test_support.h"
#include "ui_internal.h"

namespace {

class WindowPaints : public QObject {
  public:
    explicit WindowPaints(QWidget *watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) region += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QRegion region;
};

class ImageControlRowsTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(0, 100, 60);
        TakeAllEvents();
    }
};

TEST_F(ImageControlRowsTest, SetValue_SomeRowsChanged_RepaintsFromFirstToLastChangedRow) {
    // With alpha, so the window paints below the control and the spy sees the region.
    const NativeHandle strip = FilledImage(7, 30, 20, 0x80FF0000);
    CreateImageControl(7, 10, 5, 0, 0, strip);
    QCoreApplication::processEvents();
    QImage &slot = ImageInSlot(7)->image;
    for (int round = 0; round < 2; ++round) {  // shared with the slot, then its own buffer
        WindowPaints window(reinterpret_cast<QWidget *>(NativeWindowHandle(0)));
        const unsigned colour = round == 0 ? 0x8000FF00 : 0x800000FF;
        for (int y : {6, 9})
            for (int x = 3; x < 5; ++x)
                slot.setPixel(x, y, colour);
        SetControlValue(7, static_cast<std::intptr_t>(strip));
        QCoreApplication::processEvents();
        EXPECT_EQ(window.region, QRegion(10, 5 + 6, 30, 4)) << round;
        const auto *control = reinterpret_cast<ImageControl *>(NativeControlHandle(7));
        EXPECT_EQ(control->ShownImage(), slot) << round;
    }
    // Every row changed: the whole control.
    WindowPaints whole(reinterpret_cast<QWidget *>(NativeWindowHandle(0)));
    slot.fill(0x80FFFFFF);
    SetControlValue(7, static_cast<std::intptr_t>(strip));
    QCoreApplication::processEvents();
    EXPECT_EQ(whole.region, QRegion(10, 5, 30, 20));
}

}  // namespace
