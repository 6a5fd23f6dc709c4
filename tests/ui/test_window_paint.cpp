// What a window paints into the store that goes to the screen: its background and overlay
// copied and blended there without a painter must equal what Qt's painter draws, pixel for
// pixel, and a full repaint of a skin-sized window starts no threads.
#include <QBackingStore>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QThreadPool>
#include <QWidget>

#include "layer_test_support.h"
#include "qt_pool_threads.h"
#include "ui_internal.h"

namespace {

constexpr int kWidth = 600, kHeight = 400;

QWidget *WindowWidget(int window) {
    return reinterpret_cast<QWidget *>(NativeWindowHandle(window));
}

// The store's pixels after Qt repainted the whole window into it.
QImage RepaintedStore(int window) {
    QWidget *widget = WindowWidget(window);
    widget->repaint();
    QCoreApplication::processEvents();
    const auto *store = static_cast<const QImage *>(widget->backingStore()->paintDevice());
    return store->convertToFormat(QImage::Format_RGB32);
}

// Qt's own painter draws a grab, with the paint region as its clip.
QImage Grabbed(int window) {
    return WindowWidget(window)->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class WindowPaintTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(0, kWidth, kHeight);
        QImage skin(kWidth, kHeight, QImage::Format_RGB32);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                skin.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x + y) % 256));
        SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(2, skin));
        // Opaque controls make the paint region many rectangles, as the player's do.
        for (int n = 0; n < 12; ++n)
            CreateImageControl(10 + n, 20 + 45 * n, 30 + 25 * n, 0, 0,
                               FilledImage(10 + n, 30, 12, 0xFF000000u | (0x151515u * n)));
        QCoreApplication::processEvents();
    }
};

TEST_F(WindowPaintTest, BackgroundAndOverlay_StoreEqualsWhatAPainterDraws) {
    QImage *overlay = WindowOverlayImage(0);
    ASSERT_NE(overlay, nullptr);
    // Every alpha level over every background shade, transparent and opaque runs between.
    QRandomGenerator random(15);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int kind = (x / 40 + y / 30) % 3;
            const int alpha = kind == 0 ? 0 : kind == 1 ? 255 : int(random.bounded(256));
            overlay->setPixel(x, y, qPremultiply(qRgba(int(random.bounded(256)),
                                                       int(random.bounded(256)),
                                                       int(random.bounded(256)), alpha)));
        }
    WindowOverlayChanged(0, QRect(0, 0, kWidth, kHeight));
    const QImage store = RepaintedStore(0);
    const QImage grabbed = Grabbed(0);
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if ((store.pixel(x, y) | 0xFF000000u) != (grabbed.pixel(x, y) | 0xFF000000u) &&
                ++differing <= 5)
                ADD_FAILURE() << "at " << x << "," << y << ": store " << std::hex
                              << store.pixel(x, y) << ", painter " << grabbed.pixel(x, y);
    EXPECT_EQ(differing, 0);
    // The controls keep their own pixels above both.
    EXPECT_EQ(store.pixel(21, 31), 0xFF000000u);
    EXPECT_EQ(store.pixel(20 + 45 * 3 + 1, 30 + 25 * 3 + 1), 0xFF3F3F3Fu);
}

TEST_F(WindowPaintTest, BackgroundSmallerThanTheWindow_StillTiled) {
    QImage tile(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) tile.setPixel(x, y, qRgb(30 * x, 40 * y, 200));
    SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(3, tile));
    const QImage store = RepaintedStore(0);
    EXPECT_EQ(store.pixel(0, 0), tile.pixel(0, 0));
    EXPECT_EQ(store.pixel(7 * 80 + 3, 5 * 70 + 2), tile.pixel(3, 2));
    EXPECT_EQ(store, Grabbed(0));
}

TEST_F(WindowPaintTest, FullRepaints_StartNoThreads) {
    // Earlier grabs in this process may have started some: the pool ends them on request.
    QThreadPool::globalInstance()->waitForDone();
    ASSERT_TRUE(WaitForQtPoolThreadsToEnd());
    QImage *overlay = WindowOverlayImage(0);
    ASSERT_NE(overlay, nullptr);
    overlay->fill(qPremultiply(qRgba(200, 10, 10, 100)));
    WindowOverlayChanged(0, QRect(0, 0, kWidth, kHeight));
    for (int round = 0; round < 3; ++round) RepaintedStore(0);
    EXPECT_EQ(QtPoolThreads(), 0);
}

}  // namespace
