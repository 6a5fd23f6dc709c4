// Drawing on image slots: fills, lines, text placement and background, scaled images, the
// state every drawing starts from, and operations that must do nothing.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <climits>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "ui_internal.h"
#include "widgets.h"

namespace {

constexpr int kCanvas = 50;
constexpr Colour kRed = RGB(255, 0, 0);
constexpr Colour kGreen = RGB(0, 255, 0);
constexpr Colour kBlue = RGB(0, 0, 255);

const QImage &Canvas() {
    return ImageInSlot(kCanvas)->image;
}

// The pixels of the canvas that differ from black.
std::set<std::pair<int, int>> LitPixels() {
    std::set<std::pair<int, int>> lit;
    const QImage &image = Canvas();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(0, 0, 0)) lit.insert({x, y});
    return lit;
}

std::set<std::pair<int, int>> Box(int left, int top, int width, int height) {
    std::set<std::pair<int, int>> box;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            box.insert({x, y});
    return box;
}

class DrawingTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(CreateBlankImage(kCanvas, 10, 10), 0u); }
    void TearDown() override {
        EndDrawing();
        StoreImage(kCanvas, QImage());
    }
    void Begin(int width, int height) {
        ASSERT_NE(CreateBlankImage(kCanvas, width, height), 0u);
        ASSERT_NE(BeginDrawing(ImageDrawingTarget(kCanvas)), 0);
    }
};

}  // namespace

// --- FillBox -----------------------------------------------------------------------------

TEST_F(DrawingTest, FillBox_PositiveSize_FillsExactlyTheHalfOpenBox) {
    Begin(10, 10);
    FillBox(2, 3, 3, 2, kRed);
    EndDrawing();
    EXPECT_EQ(LitPixels(), Box(2, 3, 3, 2));
    EXPECT_EQ(Canvas().pixel(2, 3), qRgb(255, 0, 0));
}

TEST_F(DrawingTest, FillBox_ZeroWidthOrHeight_ChangesNothing) {
    Begin(10, 10);
    FillBox(2, 3, 0, 5, kRed);
    FillBox(2, 3, 4, 0, kRed);
    FillBox(2, 3, 0, 0, kRed);
    FillBox(2, 3, 0, -4, kRed);
    EndDrawing();
    EXPECT_TRUE(LitPixels().empty());
}

TEST_F(DrawingTest, FillBox_NegativeSize_SpansTheOtherWay) {
    Begin(10, 10);
    FillBox(5, 5, -2, -3, kRed);
    EndDrawing();
    EXPECT_EQ(LitPixels(), Box(3, 2, 2, 3));
}

TEST_F(DrawingTest, FillBox_PartlyOrWhollyOutside_IsClipped) {
    Begin(10, 10);
    FillBox(-5, -5, 7, 7, kRed);
    FillBox(8, 9, 100, 100, kRed);
    FillBox(20, 20, 5, 5, kRed);
    FillBox(-20, 0, 5, 5, kRed);
    EndDrawing();
    std::set<std::pair<int, int>> expected = Box(0, 0, 2, 2);
    expected.merge(Box(8, 9, 2, 1));
    EXPECT_EQ(LitPixels(), expected);
}

TEST_F(DrawingTest, FillBox_ExtremeCoordinates_ClipWithoutOverflow) {
    Begin(10, 10);
    FillBox(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kRed);  // ends at -1: nothing
    EXPECT_TRUE(LitPixels().empty());
    FillBox(INT_MAX, INT_MAX, INT_MIN, INT_MIN, kRed);
    FillBox(0, 0, INT_MAX, INT_MAX, kRed);
    EndDrawing();
    EXPECT_EQ(LitPixels(), Box(0, 0, 10, 10));
}

// --- DrawLine ----------------------------------------------------------------------------

TEST_F(DrawingTest, DrawLine_Vertical_ColoursBothEndPoints) {
    Begin(10, 10);
    DrawLine(4, 0, 4, 5, kRed);
    EndDrawing();
    EXPECT_EQ(LitPixels(), Box(4, 0, 1, 6));
}

TEST_F(DrawingTest, DrawLine_DiagonalAndSinglePoint_ColourEveryStep) {
    Begin(10, 10);
    DrawLine(1, 1, 5, 5, kRed);
    DrawLine(8, 0, 8, 0, kRed);
    EndDrawing();
    EXPECT_EQ(LitPixels(),
              (std::set<std::pair<int, int>>{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {8, 0}}));
}

TEST_F(DrawingTest, DrawLine_ShallowSlope_StepsOnePixelAtATime) {
    Begin(10, 10);
    DrawLine(0, 0, 4, 2, kRed);
    EndDrawing();
    EXPECT_EQ(LitPixels(), (std::set<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
}

TEST_F(DrawingTest, DrawLine_ReversedEndPoints_ColourTheSamePixels) {
    const int lines[][4] = {{0, 0, 9, 4}, {2, 9, 7, 0}, {9, 1, 0, 6}, {3, 3, 6, 8}, {0, 5, 9, 5}};
    for (const auto &[x1, y1, x2, y2] : lines) {
        SCOPED_TRACE(x1 * 1000 + y1 * 100 + x2 * 10 + y2);
        Begin(10, 10);
        DrawLine(x1, y1, x2, y2, kRed);
        EndDrawing();
        const auto forward = LitPixels();
        Begin(10, 10);
        DrawLine(x2, y2, x1, y1, kRed);
        EndDrawing();
        EXPECT_EQ(LitPixels(), forward);
        EXPECT_TRUE(forward.count({x1, y1}) && forward.count({x2, y2}));
    }
}

TEST_F(DrawingTest, DrawLine_PartlyOutsideOrHuge_IsClippedQuickly) {
    Begin(100, 8);
    DrawLine(0, 7, 100, 7, kRed);    // the mini volume bar's base line: x 100 is outside
    DrawLine(107, 0, 107, 5, kRed);  // wholly outside
    DrawLine(-1000000000, 2, 1000000000, 2, kBlue);
    EndDrawing();
    const auto lit = LitPixels();
    std::set<std::pair<int, int>> expected = Box(0, 7, 100, 1);
    expected.merge(Box(0, 2, 100, 1));
    EXPECT_EQ(lit, expected);
}

// --- Text --------------------------------------------------------------------------------

TEST_F(DrawingTest, TextPixelWidth_RightAfterBegin_MeasuresInSystemFont) {
    Begin(10, 10);
    const int width = TextPixelWidth("Каналов-0...0 kHz");
    EXPECT_GT(width, 0);
    EXPECT_EQ(TextPixelWidth(""), 0);
    SetDrawingFont(CreateFontInSlot(4, "DejaVu Sans", 40, 0));
    EXPECT_GT(TextPixelWidth("Каналов-0...0 kHz"), width);
    EndDrawing();
    // The next drawing starts from the system font again.
    Begin(10, 10);
    EXPECT_EQ(TextPixelWidth("Каналов-0...0 kHz"), width);
}

TEST_F(DrawingTest, DrawTextAt_OpaqueMode_FillsTheTextCellWithBackColour) {
    const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 12, 0);
    const QFontMetrics metrics(FontFromHandle(font)->font);
    Begin(60, 40);
    SetDrawingFont(font);
    SetTextBackColour(kGreen);
    const int width = TextPixelWidth("  ");
    ASSERT_GT(width, 0);
    DrawTextAt(7, 5, "  ", kRed);  // spaces: the cell without ink
    EndDrawing();
    EXPECT_EQ(LitPixels(), Box(7, 5, width, metrics.height()));
    EXPECT_EQ(Canvas().pixel(7, 5), qRgb(0, 255, 0));
}

TEST_F(DrawingTest, DrawTextAt_TransparentMode_LeavesBackgroundAndDrawsInk) {
    Begin(60, 40);
    SetDrawingFont(CreateFontInSlot(4, "DejaVu Sans", 14, 0));
    SetDrawingMode(1);
    SetTextBackColour(kGreen);
    DrawTextAt(3, 3, "Hx", kRed);
    EndDrawing();
    const auto lit = LitPixels();
    EXPECT_FALSE(lit.empty());
    for (auto [x, y] : lit) {
        const QRgb pixel = Canvas().pixel(x, y);
        EXPECT_EQ(qGreen(pixel), 0) << x << "," << y;
        EXPECT_EQ(qBlue(pixel), 0) << x << "," << y;
    }
}

TEST_F(DrawingTest, DrawTextAt_TopLeftCorner_PutsBaselineAtYPlusAscent) {
    const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 18, 0);
    const QFontMetrics metrics(FontFromHandle(font)->font);
    Begin(80, 60);
    SetDrawingFont(font);
    SetDrawingMode(1);
    DrawTextAt(20, 10, "H", kRed);
    EndDrawing();
    const auto lit = LitPixels();
    ASSERT_FALSE(lit.empty());
    int left = INT_MAX, top = INT_MAX, bottom = INT_MIN;
    for (auto [x, y] : lit) {
        left = std::min(left, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    // "H" stands on the baseline and rises by the cap height; its stem starts near x.
    const int baseline = 10 + metrics.ascent();
    EXPECT_GE(bottom, baseline - 2);
    EXPECT_LE(bottom, baseline);
    EXPECT_GE(top, 10);
    EXPECT_NEAR(top, baseline - metrics.capHeight(), 2);
    EXPECT_GE(left, 20);
    EXPECT_LE(left, 20 + 4);
}

TEST_F(DrawingTest, DrawTextAt_RepeatedTexts_LookAsQtDrawsThem) {
    const int styles[] = {0, kFontBold | kFontHighQuality, kFontUnderline | kFontStrikeOut,
                          kFontItalic};
    const char *texts[] = {"Каналов-0...0 kHz", "Hx 09:05:07", "mixed 漢字 glyphs", "  a  "};
    for (int style : styles) {
        for (const char *text : texts) {
            SCOPED_TRACE(std::string(text) + " " + std::to_string(style));
            const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 14, style);
            const QFont &qtFont = FontFromHandle(font)->font;
            QImage expected(160, 40, QImage::Format_RGB32);
            expected.fill(Qt::black);
            {
                QPainter painter(&expected);
                painter.setFont(qtFont);
                painter.setPen(QColor(255, 200, 100));
                painter.drawText(QPointF(-3, 7 + QFontMetrics(qtFont).ascent()),
                                 QString::fromUtf8(text));
            }
            // Twice in a row: the second drawing uses what the first one laid out.
            for (int round = 0; round < 2; ++round) {
                Begin(160, 40);
                SetDrawingFont(font);
                SetDrawingMode(1);
                DrawTextAt(-3, 7, text, RGB(255, 200, 100));
                EndDrawing();
                EXPECT_EQ(Canvas(), expected);
            }
        }
    }
}

// What Qt draws for opaque text: the text cell filled with the back colour, then the glyphs.
QImage QtOpaqueText(const QImage &background, const QFont &font, int x, int y, const char *text,
                    QColor pen, QColor back) {
    QImage expected = background.copy();
    const QFontMetrics metrics(font);
    const QString string = QString::fromUtf8(text);
    QPainter painter(&expected);
    painter.fillRect(QRect(x, y, metrics.horizontalAdvance(string), metrics.height()), back);
    painter.setFont(font);
    painter.setPen(pen);
    painter.drawText(QPointF(x, y + metrics.ascent()), string);
    return expected;
}

TEST_F(DrawingTest, DrawTextAt_OpaqueOnItsBackColour_LooksAsQtDrawsIt_WhereverItStands) {
    // The scrolling line: a long opaque text on a strip of its back colour, moved a pixel at
    // a time, partly outside on either side.
    const char *text = "...VOLNAR...  ...Каналов-0...0 kHz...  Ёж";
    const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 18, kFontHighQuality);
    const QFont &qtFont = FontFromHandle(font)->font;
    const QColor pen(204, 205, 211), back(72, 86, 101);
    QImage strip(267, 25, QImage::Format_RGB32);
    strip.fill(back);
    for (int x : {49, 48, 0, -1, -300, 180, 260}) {
        SCOPED_TRACE(x);
        Begin(267, 25);
        FillBox(0, 0, 267, 25, RGB(72, 86, 101));
        SetTextBackColour(RGB(72, 86, 101));
        SetDrawingFont(font);
        DrawTextAt(x, 0, text, RGB(204, 205, 211));
        EndDrawing();
        EXPECT_EQ(Canvas(), QtOpaqueText(strip, qtFont, x, 0, text, pen, back));
    }
}

TEST_F(DrawingTest, DrawTextAt_OpaqueNextToOtherPixels_LooksAsQtDrawsIt) {
    // Stripes around the text: glyphs that overhang their cell blend with what is there.
    const char *text = "fjord Ж";
    const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 16, kFontItalic);
    const QFont &qtFont = FontFromHandle(font)->font;
    QImage background(120, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            background.setPixel(x, y, (x / 3) % 2 ? qRgb(200, 20, 20) : qRgb(0, 0, 0));
    Begin(120, 40);
    for (int x = 0; x < 120; ++x)
        if ((x / 3) % 2) FillBox(x, 0, 1, 40, RGB(200, 20, 20));
    SetTextBackColour(RGB(0, 0, 0));
    SetDrawingFont(font);
    DrawTextAt(10, 8, text, RGB(255, 255, 255));
    EndDrawing();
    EXPECT_EQ(Canvas(), QtOpaqueText(background, qtFont, 10, 8, text, Qt::white, Qt::black));
}

TEST_F(DrawingTest, DrawTextAt_WithoutColour_UsesPenColour) {
    Begin(60, 40);
    SetDrawingFont(CreateFontInSlot(4, "DejaVu Sans", 14, kFontBold));
    SetDrawingMode(1);
    SetPenColour(kBlue);
    DrawTextAt(2, 2, "WW");
    EndDrawing();
    const auto lit = LitPixels();
    ASSERT_FALSE(lit.empty());
    for (auto [x, y] : lit)
        EXPECT_EQ(qRed(Canvas().pixel(x, y)), 0);
}

TEST_F(DrawingTest, DrawTextAt_FarOutsideOrEmpty_ChangesNothing) {
    Begin(20, 20);
    DrawTextAt(INT_MAX, 0, "far away", kRed);
    DrawTextAt(INT_MIN, INT_MIN, "far away", kRed);
    DrawTextAt(0, 500, "below", kRed);
    DrawTextAt(0, 0, "", kRed);
    EndDrawing();
    EXPECT_TRUE(LitPixels().empty());
}

// --- DrawImageScaled ---------------------------------------------------------------------

TEST_F(DrawingTest, DrawImageScaled_OwnSize_CopiesPixels) {
    CreateBlankImage(51, 2, 2);
    ImageInSlot(51)->image.setPixel(1, 0, qRgb(10, 20, 30));
    Begin(10, 10);
    DrawImageScaled(NativeImageHandle(51), 4, 5, 2, 2);
    EndDrawing();
    EXPECT_EQ(Canvas().pixel(5, 5), qRgb(10, 20, 30));
    EXPECT_EQ(Canvas().pixel(4, 5), qRgb(0, 0, 0));
    StoreImage(51, QImage());
}

TEST_F(DrawingTest, DrawImageScaled_SizeBelowOneOrBadHandle_DrawsNothing) {
    CreateBlankImage(51, 3, 3);
    ImageInSlot(51)->image.fill(Qt::white);
    Begin(10, 10);
    const int sizes[][2] = {{0, 3}, {3, 0}, {-3, 3}, {3, -3}, {0, 0}};
    for (const auto &[w, h] : sizes)
        DrawImageScaled(NativeImageHandle(51), 1, 1, w, h);
    DrawImageScaled(0, 1, 1, 3, 3);
    DrawImageScaled(12345, 1, 1, 3, 3);
    EndDrawing();
    EXPECT_TRUE(LitPixels().empty());
    StoreImage(51, QImage());
}

TEST_F(DrawingTest, DrawImageScaled_Stretched_RepeatsEachPixel) {
    QImage source(2, 1, QImage::Format_RGB32);
    source.setPixel(0, 0, qRgb(255, 0, 0));
    source.setPixel(1, 0, qRgb(0, 0, 255));
    const NativeHandle handle = StoreImage(51, source);
    Begin(10, 10);
    DrawImageScaled(handle, 2, 2, 4, 2);
    EndDrawing();
    for (int y = 2; y < 4; ++y) {
        EXPECT_EQ(Canvas().pixel(2, y), qRgb(255, 0, 0));
        EXPECT_EQ(Canvas().pixel(3, y), qRgb(255, 0, 0));
        EXPECT_EQ(Canvas().pixel(4, y), qRgb(0, 0, 255));
        EXPECT_EQ(Canvas().pixel(5, y), qRgb(0, 0, 255));
    }
    EXPECT_EQ(LitPixels(), Box(2, 2, 4, 2));
    StoreImage(51, QImage());
}

TEST_F(DrawingTest, DrawImageScaled_WithAlpha_BlendsOverTarget) {
    QImage source(3, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(255, 255, 255, 0));
    source.setPixel(1, 0, qRgba(255, 255, 255, 255));
    source.setPixel(2, 0, qRgba(255, 255, 255, 128));
    const NativeHandle handle = StoreImage(51, source);
    Begin(10, 10);
    FillBox(0, 0, 10, 10, RGB(0, 0, 100));
    DrawImageScaled(handle, 0, 0, 3, 1);
    EndDrawing();
    EXPECT_EQ(Canvas().pixel(0, 0), qRgb(0, 0, 100));
    EXPECT_EQ(Canvas().pixel(1, 0), qRgb(255, 255, 255));
    const QRgb half = Canvas().pixel(2, 0);
    EXPECT_NEAR(qRed(half), 128, 2);
    EXPECT_NEAR(qBlue(half), 100 + (255 - 100) / 2, 2);
    StoreImage(51, QImage());
}

TEST_F(DrawingTest, DrawImageScaled_PartlyOutsideOrIntoItself_IsSafe) {
    Begin(10, 10);
    FillBox(0, 0, 5, 5, kRed);
    DrawImageScaled(NativeImageHandle(kCanvas), 5, 5, 10, 10);
    DrawImageScaled(NativeImageHandle(kCanvas), -1000000000, -1000000000, INT_MAX, INT_MAX);
    EndDrawing();
    // The canvas drawn at half size into its own lower right corner: its red quarter lands at
    // (5, 5) to (7, 7) as it was before this drawing changed anything.
    EXPECT_EQ(Canvas().pixel(5, 5), qRgb(255, 0, 0));
}

// --- The state each drawing starts from, and doing nothing ------------------------------

TEST_F(DrawingTest, BeginDrawing_AfterAnotherDrawing_StartsWithNothingCarriedOver) {
    Begin(60, 40);
    SetDrawingFont(CreateFontInSlot(4, "DejaVu Sans", 30, 0));
    SetDrawingMode(1);
    SetTextBackColour(kGreen);
    SetPenColour(kRed);
    EndDrawing();

    Begin(60, 40);
    const int width = TextPixelWidth(" ");
    DrawTextAt(0, 0, " ");  // opaque again, with the default white background
    EndDrawing();
    ASSERT_GT(width, 0);
    const auto lit = LitPixels();
    ASSERT_FALSE(lit.empty());
    EXPECT_EQ(lit.begin()->first, 0);
    EXPECT_EQ(Canvas().pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(Canvas().pixel(width - 1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(Canvas().pixel(width, 0), qRgb(0, 0, 0));
}

TEST_F(DrawingTest, Operations_OutsideADrawing_DoNothing) {
    const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 12, 0);
    CreateBlankImage(51, 2, 2);
    ImageInSlot(51)->image.fill(Qt::white);
    const auto everything = [&] {
        SetDrawingFont(font);
        SetDrawingMode(0);
        SetTextBackColour(kGreen);
        SetPenColour(kRed);
        FillBox(0, 0, 10, 10, kRed);
        DrawLine(0, 0, 9, 9, kRed);
        DrawTextAt(0, 0, "text");
        DrawTextAt(0, 0, "text", kRed);
        DrawImageScaled(NativeImageHandle(51), 0, 0, 2, 2);
        EXPECT_EQ(TextPixelWidth("text"), 0);
        EndDrawing();
    };
    everything();  // before any drawing
    Begin(10, 10);
    EndDrawing();
    everything();  // after one
    EXPECT_EQ(BeginDrawing(0), 0);
    everything();  // after a failed one
    const DrawingTarget emptied = ImageDrawingTarget(51);
    StoreImage(51, QImage());
    EXPECT_EQ(BeginDrawing(emptied), 0);  // its slot is empty by now
    everything();
    EXPECT_TRUE(LitPixels().empty());
}

TEST_F(DrawingTest, BeginDrawing_WhileDrawing_EndsTheFirstAndFailsOnBadTarget) {
    Begin(10, 10);
    EXPECT_EQ(BeginDrawing(0), 0);
    FillBox(0, 0, 10, 10, kRed);
    EXPECT_TRUE(LitPixels().empty());
}

TEST_F(DrawingTest, Targets_EmptySlotsAndMissingWindows_AreZero) {
    EXPECT_EQ(ImageDrawingTarget(-1), 0u);
    EXPECT_EQ(ImageDrawingTarget(4000), 0u);
    EXPECT_NE(ImageDrawingTarget(kCanvas), 0u);
    EXPECT_EQ(WindowDrawingTarget(-1), 0u);
    EXPECT_EQ(WindowDrawingTarget(4000), 0u);
}

TEST_F(DrawingTest, Drawing_OnImageAControlStillShows_LeavesThatCopyAlone) {
    Begin(10, 10);
    FillBox(0, 0, 10, 10, kRed);
    EndDrawing();
    const QImage shown = Canvas();  // what an image control keeps after an assignment
    ASSERT_NE(BeginDrawing(ImageDrawingTarget(kCanvas)), 0);
    FillBox(0, 0, 10, 10, kBlue);
    DrawLine(0, 0, 9, 0, kGreen);
    EndDrawing();
    EXPECT_EQ(shown.pixel(3, 3), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(3, 0), qRgb(255, 0, 0));
    EXPECT_EQ(Canvas().pixel(3, 3), qRgb(0, 0, 255));
    EXPECT_EQ(Canvas().pixel(3, 0), qRgb(0, 255, 0));
}

// A fill of the whole image may be written only when something needs its pixels; every
// operation and the end of the drawing must still find it there, as if written at once.
TEST_F(DrawingTest, WholeFill_IsThereForWhateverComesAfterIt) {
    auto allOf = [](QRgb pixel) {
        const QImage &image = Canvas();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != pixel) return false;
        return true;
    };
    // Nothing after it, or a text that never reaches the image.
    Begin(20, 10);
    FillBox(-5, -5, 40, 40, kRed);
    DrawTextAt(1000, 0, "x", kGreen);
    EndDrawing();
    EXPECT_TRUE(allOf(qRgb(255, 0, 0)));
    // The image drawn into itself reads the fill.
    Begin(10, 10);
    FillBox(0, 0, 10, 10, kRed);
    DrawImageScaled(NativeImageHandle(kCanvas), 5, 5, 10, 10);
    EndDrawing();
    EXPECT_TRUE(allOf(qRgb(255, 0, 0)));
    // Another image put in the slot meanwhile never had the fill.
    Begin(10, 10);
    FillBox(0, 0, 10, 10, kRed);
    QImage other(10, 10, QImage::Format_RGB32);
    other.fill(qRgb(0, 0, 255));
    StoreImage(kCanvas, other);
    EndDrawing();
    EXPECT_TRUE(allOf(qRgb(0, 0, 255)));
    // Text on another back colour, next to the fill, and a text placed partly outside: the
    // same pixels as when the fill is made of two halves, which are written at once.
    const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 12, 0);
    for (const auto &[back, x] : {std::pair{kBlue, 20}, std::pair{kGreen, -7}, std::pair{kGreen, 70}}) {
        SCOPED_TRACE(x);
        auto draw = [&, back = back, x = x](bool halves) {
            Begin(80, 30);
            if (halves) {
                FillBox(0, 0, 40, 30, kGreen);
                FillBox(40, 0, 40, 30, kGreen);
            } else {
                FillBox(0, 0, 80, 30, kGreen);
            }
            SetDrawingFont(font);
            SetTextBackColour(back);
            DrawTextAt(x, 4, "Hxj", kRed);
            DrawTextAt(x + 30, 12, "W", kRed);
            EndDrawing();
            return Canvas().copy();
        };
        EXPECT_EQ(draw(false), draw(true));
    }
}

TEST_F(DrawingTest, Drawing_SlotEmptiedMidway_LaterOperationsDoNothing) {
    Begin(10, 10);
    StoreImage(kCanvas, QImage());
    FillBox(0, 0, 10, 10, kRed);
    DrawTextAt(0, 0, "x", kRed);
    DrawImageScaled(NativeImageHandle(kCanvas), 0, 0, 1, 1);
    EndDrawing();
    EXPECT_EQ(ImageInSlot(kCanvas), nullptr);
    CreateBlankImage(kCanvas, 10, 10);  // for TearDown and the other tests
}

// --- Drawing on a window -------------------------------------------------------------------

namespace {

constexpr int kWindow = 9;

class WindowDrawingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(
            CreateTopWindow(kWindow, 0, 0, 300, 200, "Плеер", kWindowBorderless | kWindowHidden),
            0u);
    }
    void TearDown() override {
        EndDrawing();
        CloseTopWindow(kWindow);
        StoreImage(52, QImage());
    }
};

}  // namespace

TEST_F(WindowDrawingTest, DrawOnWindow_ClockSteps_LandOnTheOverlayOnly) {
    // The clock's drawing: its backdrop patch, then the time in transparent mode.
    CreateBlankImage(52, 111, 50);
    ImageInSlot(52)->image.fill(qRgb(40, 60, 80));
    const DrawingTarget target = WindowDrawingTarget(kWindow);
    ASSERT_NE(target, 0u);
    ASSERT_NE(BeginDrawing(target), 0);
    SetDrawingFont(CreateFontInSlot(777, "DejaVu Sans", 20, kFontBold | kFontHighQuality));
    SetDrawingMode(1);
    DrawImageScaled(NativeImageHandle(52), 107, 114, 111, 50);
    SetPenColour(RGB(204, 205, 211));
    DrawTextAt(128, 130, "09:05:07");
    EndDrawing();

    const QImage &overlay = *WindowOverlayImage(kWindow);
    EXPECT_EQ(overlay.size(), QSize(300, 200));
    EXPECT_EQ(overlay.pixel(107, 114), qRgb(40, 60, 80));
    EXPECT_EQ(overlay.pixel(217, 163), qRgb(40, 60, 80));
    // Around the patch the overlay stays clear, so the window background shows there.
    EXPECT_EQ(qAlpha(overlay.pixel(106, 114)), 0);
    EXPECT_EQ(qAlpha(overlay.pixel(218, 163)), 0);
    int inked = 0;
    for (int y = 130; y < 164; ++y)
        for (int x = 128; x < 218; ++x)
            if (qRed(overlay.pixel(x, y)) > 150) ++inked;
    EXPECT_GT(inked, 20);
}

TEST_F(WindowDrawingTest, DrawOnWindow_Fills_WriteOpaquePixels) {
    ASSERT_NE(BeginDrawing(WindowDrawingTarget(kWindow)), 0);
    FillBox(10, 10, 5, 5, RGB(1, 2, 3));
    DrawLine(0, 199, 299, 199, RGB(9, 8, 7));
    EndDrawing();
    const QImage &overlay = *WindowOverlayImage(kWindow);
    EXPECT_EQ(overlay.pixel(12, 12), qRgb(1, 2, 3));
    EXPECT_EQ(overlay.pixel(299, 199), qRgb(9, 8, 7));
    EXPECT_EQ(qAlpha(overlay.pixel(15, 15)), 0);
}

TEST_F(WindowDrawingTest, DrawOnWindow_WindowClosedMidway_LaterOperationsDoNothing) {
    const DrawingTarget target = WindowDrawingTarget(kWindow);
    ASSERT_NE(BeginDrawing(target), 0);
    CloseTopWindow(kWindow);
    FillBox(0, 0, 10, 10, RGB(255, 0, 0));
    DrawTextAt(0, 0, "text");
    EndDrawing();
    EXPECT_EQ(WindowDrawingTarget(kWindow), 0u);
    EXPECT_EQ(BeginDrawing(target), 0);
}

// Opaque text on a target filled all over with its back colour draws exactly as on any plain
// surroundings; anything drawn after the fill (a line, an image, a partial fill) keeps its
// pixels around the text.
TEST_F(DrawingTest, DrawTextAt_AfterWholeFillThenMore_KeepsWhatWasDrawnAround) {
    const NativeHandle font = CreateFontInSlot(4, "DejaVu Sans", 12, 0);
    const std::string text = "Hx";
    auto draw = [&](int extra) {
        Begin(80, 40);
        FillBox(0, 0, 80, 40, kGreen);
        if (extra == 1) DrawLine(0, 2, 79, 2, kBlue);
        if (extra == 2) FillBox(0, 2, 80, 1, kBlue);
        if (extra == 3) {
            EndDrawing();
            ImageInSlot(kCanvas)->image.setPixel(0, 2, qRgb(0, 0, 255));  // outside a drawing
            BeginDrawing(ImageDrawingTarget(kCanvas));
            FillBox(1, 2, 79, 1, kBlue);
        }
        SetDrawingFont(font);
        SetTextBackColour(kGreen);
        DrawTextAt(20, 10, text, kRed);
        EndDrawing();
        return Canvas().copy();
    };
    const QImage plain = draw(0);
    EXPECT_EQ(plain.pixel(5, 2), qRgb(0, 255, 0));
    for (int extra : {1, 2, 3}) {
        const QImage drawn = draw(extra);
        for (int x = 0; x < 80; ++x)
            EXPECT_EQ(drawn.pixel(x, 2), qRgb(0, 0, 255)) << extra << " " << x;
        // Away from the blue row, the text is the same as on the plain canvas.
        for (int y = 5; y < 40; ++y)
            for (int x = 0; x < 80; ++x)
                ASSERT_EQ(drawn.pixel(x, y), plain.pixel(x, y)) << extra << " " << x << "," << y;
    }
}
