// The widget layer at a device pixel ratio above 1 (Qt's scale factor, set by CTest: 2 and
// 1.5). Coordinates stay the window's; the pixels are the screen's: skin images are the files
// drawn for that resolution, boxes and lines cover the device pixels of their pixels, text is
// rendered at device pixels, and a window's store gets them all.
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <cmath>

#include "control_numbers.h"
#include "embedded_files.h"
#include "skin_resources.h"
#include "top_window.h"
#include "ui_internal.h"
#include "widgets.h"

namespace {

double Ratio() {
    return QGuiApplication::primaryScreen()->devicePixelRatio();
}

int Edge(int x) {
    return static_cast<int>(std::lround(x * Ratio()));
}

const QImage &SlotImage(int slot) {
    static const QImage none;
    const ImageRecord *record = ImageFromHandle(NativeImageHandle(slot));
    return record ? record->image : none;
}

// A skin file of src/skin/data as it is committed.
QImage SkinFile(const char *name) {
    QFile file(QStringLiteral(VOLNAR_SKIN_DATA "/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    QImage image;
    image.loadFromData(file.readAll(), "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

double MeanDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size()) return 255.0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

NativeHandle ShowWindow(int window, int width, int height) {
    const NativeHandle handle = CreateTopWindow(window, 0, 0, width, height, "Плеер",
                                                kWindowBorderless | kWindowHidden | kWindowCentred);
    SetWindowVisible(window, 1);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(reinterpret_cast<QWidget *>(handle)));
    return handle;
}

class DevicePixelsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_GT(Ratio(), 1.0) << "run with QT_SCALE_FACTOR above 1"; }
    void TearDown() override {
        CloseTopWindow(0);
        ReleaseImagesAndFonts();
    }
};

TEST_F(DevicePixelsTest, SkinImages_AreTheFilesDrawnForTheRatio_NotTheOnesEnlarged) {
    LoadSkinImages();
    const QImage &main = SlotImage(kMainSkinImage);
    ASSERT_EQ(main.size(), QSize(Edge(600), Edge(400)));
    EXPECT_EQ(main.devicePixelRatio(), Ratio());
    const QImage twice = SkinFile("main_skin@2x.png");
    if (Ratio() == 2.0) {
        EXPECT_EQ(main.convertToFormat(QImage::Format_RGB32), twice);
    } else {
        // Between two sets: the larger one, scaled down; close to it, far from the 1x art
        // enlarged (blocky edges, blurred symbols).
        const QImage down =
            twice.scaled(main.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage enlarged =
            SkinFile("main_skin.png")
                .scaled(main.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage shown = main.convertToFormat(QImage::Format_RGB32);
        EXPECT_LT(MeanDifference(shown, down), 0.5);
        EXPECT_GT(MeanDifference(shown, enlarged), 2.0 * MeanDifference(shown, down));
    }
    // Alpha stays unmultiplied, the size of each image its own at the ratio.
    const QImage &dot = SlotImage(kVolumeDotImage);
    EXPECT_EQ(dot.format(), QImage::Format_ARGB32);
    EXPECT_EQ(dot.size(), QSize(Edge(5), Edge(5)));
    EXPECT_EQ(qAlpha(dot.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(dot.pixel(dot.width() / 2, dot.height() / 2)), 255);
}

TEST_F(DevicePixelsTest, FillBoxAndDrawLine_CoverTheDevicePixelsOfTheirPixels) {
    CreateBlankImage(3, 10, 10);
    const QImage &image = SlotImage(3);
    ASSERT_EQ(image.size(), QSize(Edge(10), Edge(10)));
    ASSERT_TRUE(BeginDrawing(ImageDrawingTarget(3)));
    FillBox(2, 3, 4, 5, RGB(255, 0, 0));
    DrawLine(8, 0, 8, 9, RGB(0, 255, 0));
    EndDrawing();
    const QImage &drawn = SlotImage(3);
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const bool inBox = x >= Edge(2) && x < Edge(6) && y >= Edge(3) && y < Edge(8);
            const bool onLine = x >= Edge(8) && x < Edge(9);
            const QRgb want = onLine ? qRgb(0, 255, 0) : inBox ? qRgb(255, 0, 0) : qRgb(0, 0, 0);
            ASSERT_EQ(drawn.pixel(x, y), want) << x << "," << y;
        }
    // Boxes side by side stay so: no device column between them is left out or doubled.
    ASSERT_TRUE(BeginDrawing(ImageDrawingTarget(3)));
    FillBox(0, 0, 3, 10, RGB(1, 1, 1));
    FillBox(3, 0, 7, 10, RGB(2, 2, 2));
    EndDrawing();
    int first = 0, second = 0;
    for (int x = 0; x < SlotImage(3).width(); ++x)
        (SlotImage(3).pixel(x, 0) == qRgb(1, 1, 1) ? first : second)++;
    EXPECT_EQ(first, Edge(3));
    EXPECT_EQ(first + second, Edge(10));
}

TEST_F(DevicePixelsTest, DrawTextAt_RendersAtDevicePixels_AsQtsPainterDoes) {
    RegisterEmbeddedFonts();
    CreateFontInSlot(4, "MicroTech", 18, 0);
    CreateBlankImage(5, 120, 30);
    ASSERT_TRUE(BeginDrawing(ImageDrawingTarget(5)));
    FillBox(0, 0, 120, 30, RGB(72, 86, 101));
    SetTextBackColour(RGB(72, 86, 101));
    SetDrawingFont(NativeFontHandle(4));
    const int width = TextPixelWidth("Каналов 42");
    DrawTextAt(4, 2, "Каналов 42", RGB(204, 205, 211));
    EndDrawing();
    // Widths are the window's pixels: the same as at ratio 1 for this font and size.
    QFont font(QStringLiteral("MicroTech"));
    font.setPixelSize(24);
    EXPECT_EQ(width, QFontMetrics(font).horizontalAdvance(QStringLiteral("Каналов 42")));
    // Qt's painter on an image of the device size at the ratio, as a reference.
    QImage reference(Edge(120), Edge(30), QImage::Format_RGB32);
    reference.setDevicePixelRatio(Ratio());
    reference.fill(qRgb(72, 86, 101));
    {
        QPainter painter(&reference);
        painter.setFont(FontFromHandle(NativeFontHandle(4))->font);
        painter.setPen(QColor(204, 205, 211));
        painter.drawText(QPointF(4, 2 + QFontMetricsF(painter.font()).ascent()),
                         QStringLiteral("Каналов 42"));
    }
    const QImage &drawn = SlotImage(5);
    // The glyphs' places are laid out in the window's pixels, so that the text is as wide as
    // TextPixelWidth says; the painter lays them out in device pixels: a glyph may stand a
    // device pixel apart, nothing more.
    EXPECT_LT(MeanDifference(drawn, reference), 8.0);
    // Sharp: glyph edges go from the back colour to the text colour within a device pixel
    // or two, so many device pixels have the full text colour.
    int full = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            full += drawn.pixel(x, y) == qRgb(204, 205, 211);
    EXPECT_GT(full, 60 * Ratio() * Ratio());
}

TEST_F(DevicePixelsTest, Window_ShowsImagesAndOverlayAtDevicePixels_InTheWindowsCoordinates) {
    ShowWindow(0, 200, 100);
    QImage skin(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            skin.setPixel(x, y, qRgb(x, y, (x + y) % 256));
    SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(2, skin));
    CreateBlankImage(6, 20, 10);
    ASSERT_TRUE(BeginDrawing(ImageDrawingTarget(6)));
    FillBox(0, 0, 20, 10, RGB(10, 20, 30));
    FillBox(5, 5, 1, 1, RGB(250, 0, 0));
    EndDrawing();
    const NativeHandle control = CreateImageControl(20, 50, 40, 0, 0, NativeImageHandle(6));
    // The control takes the image's size in the window's pixels.
    const ScreenRect rect = ControlScreenRect(control);
    EXPECT_EQ(rect.right - rect.left, 20);
    EXPECT_EQ(rect.bottom - rect.top, 10);
    ASSERT_TRUE(BeginDrawing(WindowDrawingTarget(0)));
    FillBox(150, 10, 10, 10, RGB(0, 0, 255));
    EndDrawing();
    auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(0));
    widget->repaint();
    QCoreApplication::processEvents();
    FlushStorePaints();
    const QImage store = static_cast<const QImage *>(widget->backingStore()->paintDevice())
                             ->convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(store.size(), QSize(Edge(200), Edge(100)));
    // The control's red pixel is a square of device pixels at its place.
    const int k = static_cast<int>(std::floor(Ratio()));
    for (int dy = 0; dy < k; ++dy)
        for (int dx = 0; dx < k; ++dx)
            EXPECT_EQ(store.pixel(Edge(55) + dx, Edge(45) + dy), qRgb(250, 0, 0));
    EXPECT_EQ(store.pixel(Edge(52), Edge(42)), qRgb(10, 20, 30));
    EXPECT_EQ(store.pixel(Edge(155), Edge(15)), qRgb(0, 0, 255));
    // The background: a single file enlarged to the ratio, its device pixels copied.
    EXPECT_EQ(store.pixel(Edge(100) + k - 1, Edge(20)),
              SlotImage(2).pixel(Edge(100) + k - 1, Edge(20)));
    // What the layer put in the store is what Qt's painter draws.
    const QImage grabbed = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(grabbed.size(), store.size());
    EXPECT_LT(MeanDifference(store, grabbed), 0.5);
}

}  // namespace

namespace {

// Window places are the windows' pixels, not the screen's: what WindowPosition gives,
// MoveTopWindowOnScreen takes back to the same place at any scale (e2e_test_scale sees the
// device pixels on an X server). The remembered state keeps those places.
TEST_F(DevicePixelsTest, WindowPlaces_InTheWindowsPixels_ComeBackTheSame) {
    ShowWindow(0, 200, 100);
    ASSERT_TRUE(MoveTopWindowOnScreen(0, 100, 60));
    QCoreApplication::processEvents();
    EXPECT_EQ(WindowPosition(0).x, 100);
    EXPECT_EQ(WindowPosition(0).y, 60);

    // Near the right edge of the screen as the windows count it: on the screen; the same
    // number of the screen's own pixels would be off it.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(MoveTopWindowOnScreen(0, screen.right() - 40, 10));
    EXPECT_EQ(WindowPosition(0).x, screen.right() - 40);
    EXPECT_FALSE(MoveTopWindowOnScreen(0, Edge(screen.right() + 1) - 20, 10));
    EXPECT_EQ(WindowPosition(0).x, screen.right() - 40);
}

}  // namespace
