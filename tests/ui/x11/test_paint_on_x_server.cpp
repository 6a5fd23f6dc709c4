// What the X server shows after image controls change: the opaque strips and bars that paint
// straight into the backing store and the scrolling line whose pixels the server moves must
// end up exactly as the images they were given, and so must a control that something covers
// (which Qt repaints the usual way).
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cstdint>
#include <initializer_list>

#include <xcb/xcb.h>

#include "layer_life.h"
#include "ui_internal.h"
#include "widgets.h"
#include "window_presenter.h"

namespace {

QWidget *Window(int window) {
    return reinterpret_cast<QWidget *>(NativeWindowHandle(window));
}

QWidget *Control(int control) {
    return reinterpret_cast<QWidget *>(NativeControlHandle(control));
}

class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget *watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

// A line of "text": irregular columns of light pixels on a dark strip, the text starting at
// x and cut off by the strip's edges, as the scrolling line draws it.
void DrawStrip(QImage &strip, int x) {
    strip.fill(0xFF485665u);
    for (int column = 0; column < 150; ++column) {
        const int at = x + column;
        if (at < 0 || at >= strip.width()) continue;
        for (int row = 2; row < strip.height() - 2; ++row)
            if ((column * 7 + row * 3) % 5 < 2) strip.setPixel(at, row, 0xFFCCCDD3u);
    }
}

// Text without end: the same irregular columns wherever the strip shows it, shifted with x;
// the rows above and below it of one colour, or the first one a gradient that changes along
// it, which starts at gradientX.
enum class Edge { kPlain, kGradient };
void DrawEndlessStrip(QImage &strip, int x, Edge edge = Edge::kPlain, int gradientX = 0) {
    strip.fill(0xFF485665u);
    for (int column = 0; column < strip.width(); ++column) {
        const auto t = static_cast<std::uint32_t>(column - x);
        for (int row = 2; row < strip.height() - 2; ++row)
            if (((t * 2654435761u + static_cast<std::uint32_t>(row) * 40503u) >> 13) % 5 < 2)
                strip.setPixel(column, row, 0xFFCCCDD3u);
        if (edge == Edge::kGradient)
            strip.setPixel(column, 0, qRgb(((column - gradientX) % 256 + 256) % 256, 40, 90));
    }
}

// The pixels of the window's area as the X server has them.
QImage OnServer(QRect area) {
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen->grabWindow(Window(0)->winId(), area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Lets the layer send what was painted and the server apply it.
void Settle() {
    for (int i = 0; i < 5; ++i) {
        PollNextEvent();
        QTest::qWait(5);
    }
}

// Unmaps or maps the window as a window manager does, and waits for Qt to hear of it.
void MapByOthers(bool map) {
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    const auto id = static_cast<xcb_window_t>(Window(0)->winId());
    if (map)
        xcb_map_window(x11->connection(), id);
    else
        xcb_unmap_window(x11->connection(), id);
    xcb_flush(x11->connection());
    for (int i = 0; i < 400 && Window(0)->windowHandle()->isExposed() != map; ++i) {
        PollNextEvent();
        QTest::qWait(5);
    }
    ASSERT_EQ(Window(0)->windowHandle()->isExposed(), map);
}

class PaintOnXServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ReleaseWindowsAndEvents();
        CreateTopWindow(0, 0, 0, 300, 120, "Плеер", kWindowBorderless | kWindowHidden);
        SetWindowVisible(0, 1);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(0)));
        strip_ = CreateBlankImage(30, kWidth, kHeight);  // 24-bit, as the refresh draws
        ASSERT_NE(strip_, 0u);
        DrawStrip(ImageInSlot(30)->image, 200);
        CreateImageControl(101, kX, kY, 0, 0, strip_);
        Settle();
    }
    void TearDown() override { ReleaseWindowsAndEvents(); }

    void ShowStripAt(int x) {
        DrawStrip(ImageInSlot(30)->image, x);
        SetControlValue(101, static_cast<std::intptr_t>(strip_));
    }
    // Moves the text by each step in turn, letting every step reach the server; the new x.
    int MoveStrip(int x, std::initializer_list<int> steps) {
        for (int step : steps) {
            x -= step;
            ShowStripAt(x);
            Settle();
        }
        return x;
    }
    QImage Expected() const { return ImageInSlot(30)->image.convertToFormat(QImage::Format_RGB32); }

    static constexpr int kX = 20, kY = 30, kWidth = 240, kHeight = 18;
    NativeHandle strip_ = 0;
};

TEST_F(PaintOnXServerTest, ScrollingStrip_EveryStepShowsItsImage_WithoutPaintEvents) {
    PaintCounter counter(Control(101));
    const std::uint64_t sendsBefore = StraightPathSends();
    // Steps of one to three pixels, then a jump (the text starting over), then steps again.
    int x = 200;
    for (int step : {1, 1, 2, 3, 1, -260, 1, 2}) {
        x -= step;
        ShowStripAt(x);
        Settle();
        ASSERT_EQ(OnServer(QRect(kX, kY, kWidth, kHeight)), Expected()) << "text at " << x;
    }
    // Every change was copied into the backing store, none went through a paint event, and
    // went to the server straight (this Qt is one whose store the straight path was checked
    // against).
    EXPECT_EQ(counter.paints, 0);
    EXPECT_GT(StraightPathSends(), sendsBefore);
}

// On a Qt whose backing store no test has checked, nothing goes past Qt's own flush, and the
// strip still shows each step exactly, and so does what Qt sends later by itself.
TEST_F(PaintOnXServerTest, UncheckedQtVersion_NothingGoesStraight_StripStaysExact) {
    EXPECT_TRUE(StraightPathChecked("6.4.2"));
    EXPECT_FALSE(StraightPathChecked("6.4.3"));
    EXPECT_FALSE(StraightPathChecked("6.8.0"));
    EXPECT_FALSE(StraightPathChecked(""));
    AssumeQtVersionForStraightPath("6.8.0");
    const std::uint64_t sendsBefore = StraightPathSends();
    const QRect area(kX, kY, kWidth, kHeight);
    int x = 200;
    for (int step : {1, 1, 2, 3, -260, 1}) {
        x -= step;
        ShowStripAt(x);
        Settle();
        EXPECT_EQ(OnServer(area), Expected()) << "text at " << x;
    }
    Window(0)->backingStore()->flush(QRegion(area), Window(0)->windowHandle());
    Settle();
    EXPECT_EQ(OnServer(area), Expected());
    EXPECT_EQ(StraightPathSends(), sendsBefore);
    AssumeQtVersionForStraightPath(nullptr);
}

// The strips' pixels go into the backing store and the window past Qt's repaints; whatever
// Qt itself sends later (a flush of its own that takes in the strip, the whole window after
// it comes back into view) must still be their newest pixels, never older ones.
TEST_F(PaintOnXServerTest, QtsOwnFlushAfterTheStripMoved_SendsItsNewestPixels) {
    MoveStrip(200, {2, 2, 2, 2, 2, 2});
    const QRect area(kX, kY, kWidth, kHeight);
    ASSERT_EQ(OnServer(area), Expected());
    // Qt sends the area from what it holds itself.
    Window(0)->backingStore()->flush(QRegion(area), Window(0)->windowHandle());
    Settle();
    EXPECT_EQ(OnServer(area), Expected());
    // Taken out of view and back: the window system asks Qt for every pixel again.
    Window(0)->hide();
    Settle();
    Window(0)->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(0)));
    Settle();
    EXPECT_EQ(OnServer(area), Expected());
}

// Out of view the strip is moved the usual way: Qt moves its pixels on the server and not in
// what it holds itself. Back in view, a change to a few rows goes straight to the server
// again; a later flush of Qt's own must not send the other rows as Qt held them before.
TEST_F(PaintOnXServerTest, StripMovedByQtOutOfView_QtsOwnFlushLaterSendsNoOlderRows) {
    const QRect area(kX, kY, kWidth, kHeight);
    int x = MoveStrip(200, {1, 2});
    MapByOthers(false);
    MoveStrip(x, {3, 3});
    MapByOthers(true);
    Settle();
    ASSERT_EQ(OnServer(area), Expected());
    // Only row 1, above the text, changes.
    QImage &image = ImageInSlot(30)->image;
    for (int column = 0; column < kWidth; column += 3)
        image.setPixel(column, 1, 0xFFFFFF00u);
    SetControlValue(101, static_cast<std::intptr_t>(strip_));
    Settle();
    ASSERT_EQ(OnServer(area), Expected());
    Window(0)->backingStore()->flush(QRegion(area), Window(0)->windowHandle());
    Settle();
    EXPECT_EQ(OnServer(area), Expected());
}

// The server keeps a copy of a moving strip and moves that; whatever changes the strip's
// pixels some other way in between must not leave the copy behind.
TEST_F(PaintOnXServerTest, StripChangedTwiceInATick_OrRepaintedByQtMeanwhile_LaterMovesStayExact) {
    const QRect area(kX, kY, kWidth, kHeight);
    int x = MoveStrip(200, {1, 2});
    // Two changes before the window sends anything: a move, then a jump.
    ShowStripAt(x - 1);
    ShowStripAt(x - 40);
    x -= 40;
    Settle();
    ASSERT_EQ(OnServer(area), Expected());
    for (int step : {1, 1}) {
        x -= step;
        ShowStripAt(x);
        Settle();
        ASSERT_EQ(OnServer(area), Expected()) << "text at " << x;
    }
    // An opaque control over the strip's left end for two moves: Qt repaints the strip then.
    QImage cover(40, kHeight, QImage::Format_RGB32);
    cover.fill(0xFF00FF00u);
    StoreImage(31, cover);
    CreateImageControl(102, kX, kY, 0, 0, NativeImageHandle(31));
    Settle();
    x = MoveStrip(x, {2, 1});
    Control(102)->hide();
    Settle();
    for (int step : {1, 3, 1}) {
        x -= step;
        ShowStripAt(x);
        Settle();
        ASSERT_EQ(OnServer(area), Expected()) << "text at " << x;
    }
}

// Moves sent without waiting for the server, as the refresh sends them; checked at times.
// Far enough each way to run off the end of what the server keeps (about a thousand pixels).
TEST_F(PaintOnXServerTest, LongScrollEachWay_StaysExactPastTheEndsOfTheServersCopy) {
    const QRect area(kX, kY, kWidth, kHeight);
    int x = 0;
    for (int step : {4, -4, 3}) {
        for (int n = 1; n <= 330; ++n) {
            x -= step;
            DrawEndlessStrip(ImageInSlot(30)->image, x);
            SetControlValue(101, static_cast<std::intptr_t>(strip_));
            PollNextEvent();
            if (n % 55 == 0) {
                Settle();
                ASSERT_EQ(OnServer(area), Expected()) << "step " << step << ", text at " << x;
            }
        }
    }
}

// A row outside the moving text that does not look the same moved (a gradient along it)
// stays where it is while the text moves; when it later moves along with the text, what the
// server kept of it must still be that row as it stood; and so on, back and forth.
TEST_F(PaintOnXServerTest, MovingTextBesideARowThatChangesAlongIt_ThatRowStays) {
    const QRect area(kX, kY, kWidth, kHeight);
    int x = 0;
    for (int step : {1, 2, 1, 3, -2, -1}) {
        x -= step;
        DrawEndlessStrip(ImageInSlot(30)->image, x, Edge::kGradient);
        SetControlValue(101, static_cast<std::intptr_t>(strip_));
        Settle();
        ASSERT_EQ(OnServer(area), Expected()) << "text at " << x;
    }
    int gradientX = 0;
    for (int step : {2, 1, 3}) {
        x -= step;
        gradientX -= step;
        DrawEndlessStrip(ImageInSlot(30)->image, x, Edge::kGradient, gradientX);
        SetControlValue(101, static_cast<std::intptr_t>(strip_));
        Settle();
        ASSERT_EQ(OnServer(area), Expected()) << "both at " << x;
    }
    for (int step : {1, 2}) {  // and the text alone again
        x -= step;
        DrawEndlessStrip(ImageInSlot(30)->image, x, Edge::kGradient, gradientX);
        SetControlValue(101, static_cast<std::intptr_t>(strip_));
        Settle();
        ASSERT_EQ(OnServer(area), Expected()) << "text at " << x;
    }
}

// Another window over part of the strip while it moves: the server drops what cannot be
// seen, and the window's return into view shows the newest pixels everywhere.
TEST_F(PaintOnXServerTest, StripMovingUnderAnotherWindow_ShowsItsNewestPixelsWhenUncovered) {
    const QRect area(kX, kY, kWidth, kHeight);
    CreateTopWindow(1, kX + 60, kY - 10, 80, kHeight + 20, "Другое",
                    kWindowBorderless | kWindowHidden);
    SetWindowVisible(1, 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(1)));
    Settle();
    int x = 180;
    for (int step : {1, 2, 1, 1}) {
        x -= step;
        ShowStripAt(x);
        Settle();
        // Left of the other window the strip is exact all the while.
        ASSERT_EQ(OnServer(QRect(kX, kY, 60, kHeight)), Expected().copy(0, 0, 60, kHeight));
    }
    SetWindowVisible(1, 0);
    Settle();
    EXPECT_EQ(OnServer(area), Expected());
    x -= 1;
    ShowStripAt(x);
    Settle();
    EXPECT_EQ(OnServer(area), Expected());
}

TEST_F(PaintOnXServerTest, CoveredStrip_QtRepaintsIt_AndTheCoverStaysOnTop) {
    // A half-transparent control above the strip's right end: the strip cannot paint itself.
    QImage cover(30, kHeight, QImage::Format_ARGB32);
    cover.fill(0x80FF0000u);
    StoreImage(31, cover);
    CreateImageControl(102, kX + kWidth - 30, kY, 0, 0, NativeImageHandle(31));
    Settle();
    const QImage coverOnServer = OnServer(QRect(kX + kWidth - 30, kY, 30, kHeight));
    PaintCounter counter(Control(101));
    int x = 150;
    for (int step : {1, 2}) {
        x -= step;
        ShowStripAt(x);
        Settle();
        EXPECT_EQ(OnServer(QRect(kX, kY, kWidth - 30, kHeight)),
                  Expected().copy(0, 0, kWidth - 30, kHeight));
    }
    EXPECT_GE(counter.paints, 1);
    // The cover blends over the strip's newest pixels, not over what it covered before.
    EXPECT_NE(OnServer(QRect(kX + kWidth - 30, kY, 30, kHeight)), coverOnServer);
}

}  // namespace
