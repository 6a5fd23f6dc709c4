// Image controls: their size rules, the content they keep, how they blend over the window
// background and overlay, and that an assignment repaints no more than the control.
#include <QBackingStore>
#include <QCoreApplication>
#include <QPaintEvent>
#include <QWidget>

#include "image_control.h"
#include "layer_test_support.h"
#include "top_window.h"
#include "ui_internal.h"

namespace {

QWidget *Widget(NativeHandle handle) {
    return reinterpret_cast<QWidget *>(handle);
}

QImage Screenshot(int window) {
    return Widget(NativeWindowHandle(window))
        ->grab()
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QRgb Shown(int window, int x, int y) {
    return Screenshot(window).pixel(x, y) | 0xFF000000u;
}

// Counts the paint events a widget receives and joins their regions.
class PaintSpy : public QObject {
  public:
    explicit PaintSpy(QWidget *watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            region += static_cast<QPaintEvent *>(event)->region();
        }
        return false;
    }
    int paints = 0;
    QRegion region;
};

class ImageControlTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(0, 100, 60);
        TakeAllEvents();
    }
};

TEST_F(ImageControlTest, Create_WithImage_TakesTheImageSizeNotTheArguments) {
    const NativeHandle control =
        CreateImageControl(3, 12, 7, 0, 0, FilledImage(3, 26, 5, 0xFF112233));
    ASSERT_NE(control, 0u);
    EXPECT_EQ(Widget(control)->geometry(), QRect(12, 7, 26, 5));
    CreateImageControl(4, 1, 1, 50, 50, FilledImage(4, 5, 12, 0xFF112233));
    EXPECT_EQ(Widget(NativeControlHandle(4))->size(), QSize(5, 12));
}

TEST_F(ImageControlTest, Create_WithoutImageOrWithStaleHandle_TakesTheArguments) {
    EXPECT_EQ(Widget(CreateImageControl(231, 65, 8, 22, 12, 0))->size(), QSize(22, 12));
    const NativeHandle stale = FilledImage(9, 30, 20, 0xFF000000);
    StoreImage(9, QImage());
    EXPECT_EQ(Widget(CreateImageControl(232, 65, 8, 28, 18, stale))->size(), QSize(28, 18));
}

TEST_F(ImageControlTest, SetValue_LargerImageThenZero_TakesImageSizeAndKeepsIt) {
    CreateImageControl(231, 65, 8, 22, 12, 0);
    SetControlValue(231, static_cast<std::intptr_t>(FilledImage(9, 30, 20, 0xFF00FF00)));
    const QRect grown(65, 8, 30, 20);
    EXPECT_EQ(Widget(NativeControlHandle(231))->geometry(), grown);
    SetControlValue(231, 0);
    EXPECT_EQ(Widget(NativeControlHandle(231))->geometry(), grown);
    EXPECT_TRUE(
        static_cast<ImageControl *>(Widget(NativeControlHandle(231)))->ShownImage().isNull());
}

TEST_F(ImageControlTest, SetValue_SmallerImage_ShrinksKeepingTopLeft) {
    CreateImageControl(244, 7, 6, 0, 0, FilledImage(1, 20, 30, 0xFF00FF00));
    SetControlValue(244, static_cast<std::intptr_t>(FilledImage(2, 10, 4, 0xFF0000FF)));
    EXPECT_EQ(Widget(NativeControlHandle(244))->geometry(), QRect(7, 6, 10, 4));
    EXPECT_EQ(ControlLeft(244), 7);
}

TEST_F(ImageControlTest, SetValue_SlotRedrawnBetweenAssignments_EachControlKeepsItsContent) {
    const NativeHandle scratch = FilledImage(19, 5, 12, 0xFFFF0000);
    for (int bar = 0; bar < 4; ++bar)
        CreateImageControl(303 + bar, 10 + 6 * bar, 20, 0, 0, 0);
    const QRgb colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    for (int bar = 0; bar < 4; ++bar) {
        ImageInSlot(19)->image.fill(colours[bar]);
        SetControlValue(303 + bar, static_cast<std::intptr_t>(scratch));
    }
    ImageInSlot(19)->image.fill(0xFF000000);
    for (int bar = 0; bar < 4; ++bar) {
        EXPECT_EQ(Shown(0, 12 + 6 * bar, 25), colours[bar]) << bar;
    }
    // A second round copies into the buffers the controls now own.
    for (int bar = 0; bar < 4; ++bar) {
        ImageInSlot(19)->image.fill(colours[3 - bar]);
        SetControlValue(303 + bar, static_cast<std::intptr_t>(scratch));
    }
    ImageInSlot(19)->image.fill(0xFF000000);
    for (int bar = 0; bar < 4; ++bar)
        EXPECT_EQ(Shown(0, 12 + 6 * bar, 25), colours[3 - bar]);
}

TEST_F(ImageControlTest, Painting_HalfTransparentImage_BlendsOverTiledBackground) {
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(0xFF000000);
    tile.setPixel(1, 1, 0xFFFFFFFF);
    SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(2, tile));
    EXPECT_EQ(Shown(0, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Shown(0, 41, 57), 0xFFFFFFFFu);  // tiled from the top-left corner
    EXPECT_EQ(Shown(0, 42, 57), 0xFF000000u);

    CreateImageControl(5, 20, 20, 0, 0, FilledImage(5, 8, 8, 0x80FF0000));
    const QRgb blended = Shown(0, 22, 22);
    EXPECT_NEAR(qRed(blended), 128, 2);
    EXPECT_EQ(qGreen(blended), 0);
    SetControlValue(5, 0);
    EXPECT_EQ(Shown(0, 21, 21), 0xFFFFFFFFu);  // the background shows where no image is
    EXPECT_EQ(Shown(0, 22, 22), 0xFF000000u);
}

TEST_F(ImageControlTest, Painting_OverlayDrawing_ShowsAboveBackgroundBelowControls) {
    QImage *overlay = WindowOverlayImage(0);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->size(), QSize(100, 60));
    EXPECT_EQ(overlay->pixel(3, 3), 0u);  // transparent until drawn on
    EXPECT_EQ(WindowOverlayImage(0), overlay);
    CreateImageControl(6, 30, 30, 0, 0, FilledImage(6, 4, 4, 0xFF0000FF));
    overlay->fill(0xFF00FF00);
    WindowOverlayChanged(0, QRect(0, 0, 100, 60));
    EXPECT_EQ(Shown(0, 5, 5), 0xFF00FF00u);
    EXPECT_EQ(Shown(0, 31, 31), 0xFF0000FFu);
    EXPECT_EQ(WindowOverlayImage(9), nullptr);
    WindowOverlayChanged(9, QRect(0, 0, 5, 5));
}

// The clock redraws the same area every second: what is repainted is the part that differs
// from that area's last change, and the window shows every change.
TEST_F(ImageControlTest, OverlayChanged_SameAreaAgain_RepaintsOnlyWhatDiffers) {
    QImage *overlay = WindowOverlayImage(0);
    ASSERT_NE(overlay, nullptr);
    const QRect box(10, 10, 40, 20);
    auto paintBox = [&](const QRect &area, QRgb colour) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                overlay->setPixel(x, y, colour);
    };
    auto repainted = [&](const QRect &area) {
        PaintSpy spy(Widget(NativeWindowHandle(0)));
        WindowOverlayChanged(0, area);
        QCoreApplication::processEvents();
        return spy.region;
    };
    paintBox(box, 0xFF102030u);
    EXPECT_EQ(repainted(box), QRegion(box));
    // Two digits' worth at the right end, then one pixel at the left and one at the bottom.
    paintBox(QRect(40, 14, 6, 9), 0xFFC0C0C0u);
    EXPECT_EQ(repainted(box), QRegion(40, 14, 6, 9));
    EXPECT_EQ(Shown(0, 42, 20), 0xFFC0C0C0u);
    overlay->setPixel(11, 12, 0xFFFF0000u);
    overlay->setPixel(20, 29, 0xFF00FF00u);
    EXPECT_EQ(repainted(box), QRegion(11, 12, 10, 18));
    EXPECT_EQ(Shown(0, 11, 12), 0xFFFF0000u);
    EXPECT_EQ(Shown(0, 20, 29), 0xFF00FF00u);
    EXPECT_EQ(repainted(box), QRegion());  // drawn again the same
    // A change of another area in between: the next change of the box repaints all of it.
    paintBox(QRect(0, 0, 15, 15), 0xFF0000FFu);
    EXPECT_EQ(repainted(QRect(0, 0, 15, 15)), QRegion(0, 0, 15, 15));
    overlay->setPixel(30, 20, 0xFFFFFFFFu);
    EXPECT_EQ(repainted(box), QRegion(box));
    EXPECT_EQ(Shown(0, 12, 12), 0xFF0000FFu);
    EXPECT_EQ(Shown(0, 30, 20), 0xFFFFFFFFu);
    // Partly outside the window: the part inside, and the same again counts as the same.
    const QRect edge(90, 50, 30, 30);
    paintBox(QRect(90, 50, 10, 10), 0xFF445566u);
    EXPECT_EQ(repainted(edge), QRegion(90, 50, 10, 10));
    overlay->setPixel(95, 55, 0xFF000000u);
    EXPECT_EQ(repainted(edge), QRegion(95, 55, 1, 1));
    EXPECT_EQ(Shown(0, 95, 55), 0xFF000000u);
}

TEST_F(ImageControlTest, SetValue_NewPixels_RepaintsOnlyTheControlRectangle) {
    CreateImageControl(7, 40, 20, 0, 0, FilledImage(7, 5, 12, 0xFFFF0000));
    CreateImageControl(8, 60, 20, 0, 0, FilledImage(8, 5, 12, 0xFFFF0000));
    QCoreApplication::processEvents();
    PaintSpy window(Widget(NativeWindowHandle(0)));
    PaintSpy other(Widget(NativeControlHandle(8)));
    ImageInSlot(7)->image.fill(0xFF00FF00);
    SetControlValue(7, static_cast<std::intptr_t>(NativeImageHandle(7)));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.region, QRegion(40, 20, 5, 12));
    EXPECT_EQ(other.paints, 0);
}

TEST_F(ImageControlTest, SetValue_OpaqueImageThenNone_WindowShowsOnlyWhereNoImageIs) {
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(0xFF202020);
    SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(2, tile));
    const NativeHandle bar = CreateBlankImage(19, 5, 12);  // 24-bit, as the refresh draws
    ImageInSlot(19)->image.fill(0xFFC4C6CC);
    CreateImageControl(303, 40, 20, 0, 0, bar);
    QCoreApplication::processEvents();
    PaintSpy window(Widget(NativeWindowHandle(0)));
    ImageInSlot(19)->image.fill(0xFF00FF00);
    SetControlValue(303, static_cast<std::intptr_t>(bar));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.paints, 0);  // an opaque image hides the window below it
    EXPECT_EQ(Shown(0, 42, 25), 0xFF00FF00u);
    PaintSpy uncovered(Widget(NativeWindowHandle(0)));
    SetControlValue(303, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(uncovered.region, QRegion(40, 20, 5, 12));
    EXPECT_EQ(Shown(0, 42, 25), 0xFF202020u);
    ResizeControl(303, kKeep, kKeep, 8, 12);
    SetControlValue(303, static_cast<std::intptr_t>(bar));  // smaller again: takes 5 x 12
    EXPECT_EQ(Widget(NativeControlHandle(303))->size(), QSize(5, 12));
}

TEST_F(ImageControlTest, SetValue_SamePixelsAgain_SkipsTheRepaint) {
    CreateImageControl(7, 40, 20, 0, 0, FilledImage(7, 5, 12, 0xFFFF0000));
    QCoreApplication::processEvents();
    PaintSpy spy(Widget(NativeControlHandle(7)));
    SetControlValue(7, static_cast<std::intptr_t>(NativeImageHandle(7)));
    // Another image whose pixels are equal.
    SetControlValue(7, static_cast<std::intptr_t>(FilledImage(8, 5, 12, 0xFFFF0000)));
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.paints, 0);
    SetControlValue(7, static_cast<std::intptr_t>(FilledImage(8, 5, 12, 0xFF0000FF)));
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.paints, 1);
}

TEST_F(ImageControlTest, SetValue_StaleImageHandle_ShowsNothingAndKeepsSize) {
    CreateImageControl(7, 40, 20, 0, 0, FilledImage(7, 6, 6, 0xFFFF0000));
    const NativeHandle stale = FilledImage(8, 30, 30, 0xFF00FF00);
    StoreImage(8, QImage());
    SetControlValue(7, static_cast<std::intptr_t>(stale));
    EXPECT_EQ(Widget(NativeControlHandle(7))->size(), QSize(6, 6));
}

// What the window's store holds at (x, y): what the screen gets on the next flush.
QRgb InStore(int window, int x, int y) {
    const auto *store = static_cast<const QImage *>(
        Widget(NativeWindowHandle(window))->backingStore()->paintDevice());
    return store->pixel(x, y) | 0xFF000000u;
}

// An opaque control copies its new pixels straight into the store unless a control above
// covers it, which the window learns again only when its controls move, show, hide or
// restack: whatever happened to the cover, its pixels must stay on top, and an uncovered
// control must go back to the straight copy (no paint event).
TEST_F(ImageControlTest, StraightCopy_FollowsACoverThatComesMovesHidesAndIsRestacked) {
    const NativeHandle strip = CreateBlankImage(20, 40, 10);  // 24-bit, as the refresh draws
    ImageInSlot(20)->image.fill(0xFFFF0000);
    CreateImageControl(20, 10, 10, 0, 0, strip);
    QCoreApplication::processEvents();
    PaintSpy spy(Widget(NativeControlHandle(20)));
    auto change = [&](QRgb colour) {
        ImageInSlot(20)->image.fill(colour);
        SetControlValue(20, static_cast<std::intptr_t>(strip));
        FlushStorePaints();
        QCoreApplication::processEvents();
    };
    // After each step: the strip's new pixels where nothing covers it, copied straight into
    // the store (no paint event) ...
    auto uncovered = [&](const char *step, QRgb colour) {
        SCOPED_TRACE(step);
        QCoreApplication::processEvents();
        spy.paints = 0;
        change(colour);
        EXPECT_EQ(InStore(0, 15, 15), colour);
        EXPECT_EQ(spy.paints, 0);
    };
    // ... or the cover's pixels on top of them.
    auto covered = [&](const char *step, QRgb colour) {
        SCOPED_TRACE(step);
        QCoreApplication::processEvents();
        change(colour);
        EXPECT_EQ(InStore(0, 15, 15), 0xFF0000FFu);
        EXPECT_EQ(InStore(0, 40, 15), colour);
    };
    change(0xFF00FF00);  // the first change takes the slot's pixels: a paint
    uncovered("alone", 0xFF008000);

    CreateImageControl(21, 12, 12, 0, 0, CreateBlankImage(21, 10, 6));
    ImageInSlot(21)->image.fill(0xFF0000FF);
    SetControlValue(21, static_cast<std::intptr_t>(NativeImageHandle(21)));
    covered("a cover made after the strip lies above it", 0xFFFFFF00);

    ResizeControl(21, 60, 40, kKeep, kKeep);
    uncovered("cover moved away", 0xFF00FFFF);
    ResizeControl(21, 12, 12, kKeep, kKeep);
    covered("cover moved back", 0xFFFF00FF);
    Widget(NativeControlHandle(21))->hide();
    uncovered("cover hidden", 0xFF808080);
    Widget(NativeControlHandle(21))->show();
    covered("cover shown", 0xFF101010);
    Widget(NativeControlHandle(20))->raise();
    uncovered("strip raised above its cover", 0xFF202020);
}

// A change waits in the window's presenter until the flush after the tick; a window closed
// meanwhile takes its presenter and controls with it, and the flush must then send only
// what the windows still there changed.
TEST_F(ImageControlTest, WindowClosedWithAChangeWaiting_FlushSendsTheOtherWindowsChange) {
    // Controls are made in the window made last.
    const NativeHandle first = CreateBlankImage(20, 40, 10);
    const NativeHandle second = CreateBlankImage(22, 40, 10);
    CreateImageControl(20, 10, 10, 0, 0, first);
    ShowWindow(1, 100, 60);
    CreateImageControl(22, 10, 10, 0, 0, second);
    QCoreApplication::processEvents();
    FlushStorePaints();
    QCoreApplication::processEvents();
    ImageInSlot(20)->image.fill(0xFF00FF00);
    ImageInSlot(22)->image.fill(0xFF0000FF);
    SetControlValue(20, static_cast<std::intptr_t>(first));
    SetControlValue(22, static_cast<std::intptr_t>(second));
    CloseTopWindow(0);
    FlushStorePaints();
    EXPECT_EQ(InStore(1, 15, 15), 0xFF0000FFu);
}

}  // namespace
