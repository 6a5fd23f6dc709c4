// Font slots: size in points to pixels, style flags, face names without regard to case,
// substitutes for unknown faces, reloading one slot, fonts registered from memory.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ui_internal.h"
#include "widgets.h"

namespace {

// The player's own fonts, made by the project's font tools.
std::vector<char> SkinFile(const char *name) {
    const std::filesystem::path path =
        std::filesystem::path(__FILE__).parent_path() / "../../src/skin/data" / name;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const QFont &FontOf(NativeHandle handle) {
    const FontRecord *record = FontFromHandle(handle);
    EXPECT_NE(record, nullptr);
    static const QFont none;
    return record ? record->font : none;
}

}  // namespace

TEST(FontSlotTest, CreateFont_PointsAt96Dpi_GiveRoundedPixelHeights) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), 96.0);
    EXPECT_EQ(FontOf(CreateFontInSlot(4, "MicroTech", 18, kFontHighQuality)).pixelSize(), 24);
    EXPECT_EQ(FontOf(CreateFontInSlot(5, "MicroTech", 8, kFontBold | kFontHighQuality)).pixelSize(),
              11);
    EXPECT_EQ(FontOf(CreateFontInSlot(65, "Arial", 7, 0)).pixelSize(), 9);
    EXPECT_EQ(
        FontOf(CreateFontInSlot(777, "digital-7", 20, kFontBold | kFontHighQuality)).pixelSize(),
        27);
}

TEST(FontSlotTest, CreateFont_StyleFlags_SetWeightAndDecorations) {
    const QFont plain = FontOf(CreateFontInSlot(90, "DejaVu Sans", 10, 0));
    EXPECT_EQ(plain.weight(), QFont::Normal);
    EXPECT_FALSE(plain.italic());
    EXPECT_FALSE(plain.underline());
    EXPECT_FALSE(plain.strikeOut());

    const QFont styled = FontOf(CreateFontInSlot(
        90, "DejaVu Sans", 10,
        kFontBold | kFontItalic | kFontUnderline | kFontStrikeOut | kFontHighQuality));
    EXPECT_EQ(styled.weight(), QFont::Bold);
    EXPECT_TRUE(styled.italic());
    EXPECT_TRUE(styled.underline());
    EXPECT_TRUE(styled.strikeOut());
    EXPECT_TRUE(styled.styleStrategy() & QFont::PreferAntialias);
}

TEST(FontSlotTest, CreateFont_FaceInOtherCase_SelectsThatFamily) {
    const QFont font = FontOf(CreateFontInSlot(91, "dejavu SANS", 12, 0));
    EXPECT_EQ(QFontInfo(font).family(), "DejaVu Sans");
}

TEST(FontSlotTest, CreateFont_UnknownFace_GivesUsableSubstituteOfRequestedSize) {
    const NativeHandle handle = CreateFontInSlot(92, "No Such Face Anywhere 12345", 18, kFontBold);
    ASSERT_NE(handle, 0u);
    const QFont font = FontOf(handle);
    EXPECT_EQ(font.pixelSize(), 24);
    EXPECT_FALSE(QFontInfo(font).family().isEmpty());
    EXPECT_GT(QFontMetrics(font).horizontalAdvance("Abc"), 0);
    EXPECT_GT(QFontMetrics(font).height(), 0);
}

TEST(FontSlotTest, CreateFont_OddArguments_StillGiveUsableFonts) {
    for (int points : {0, -5, 100000}) {
        SCOPED_TRACE(points);
        const NativeHandle handle = CreateFontInSlot(93, "", points, -1);
        ASSERT_NE(handle, 0u);
        EXPECT_GT(QFontMetrics(FontOf(handle)).height(), 0);
    }
    EXPECT_EQ(CreateFontInSlot(-1, "DejaVu Sans", 10, 0), 0u);
    EXPECT_EQ(NativeFontHandle(-1), 0u);
    EXPECT_EQ(NativeFontHandle(123456), 0u);
}

TEST(FontSlotTest, CreateFont_ReloadedEverySecondForHours_KeepsOneFontInSlot) {
    NativeHandle previous = CreateFontInSlot(777, "digital-7", 20, kFontBold | kFontHighQuality);
    for (int second = 0; second < 3000; ++second) {
        const NativeHandle next =
            CreateFontInSlot(777, "digital-7", 20, kFontBold | kFontHighQuality);
        ASSERT_NE(next, previous);
        // The font the slot held before is gone; only the new one lives there.
        ASSERT_EQ(FontFromHandle(previous), nullptr);
        ASSERT_EQ(NativeFontHandle(777), next);
        previous = next;
    }
}

TEST(FontSlotTest, RegisterFont_BadData_RegistersNothingAndDoesNotCrash) {
    const QStringList before = QFontDatabase::families();
    const char garbage[] = "\x00\x01\x00\x00 this is not a TrueType file at all";
    RegisterFontFromMemory(nullptr, 100);
    RegisterFontFromMemory(garbage, 0);
    RegisterFontFromMemory(garbage, sizeof garbage);
    EXPECT_EQ(QFontDatabase::families(), before);
}

TEST(FontSlotTest, RegisterFont_EmbeddedClockFont_IsFoundByLowerCaseFace) {
    const std::vector<char> data = SkinFile("digital7.ttf");
    ASSERT_FALSE(data.empty());
    RegisterFontFromMemory(data.data(), data.size());
    const QFont font = FontOf(CreateFontInSlot(777, "digital-7", 20, kFontBold | kFontHighQuality));
    EXPECT_EQ(QFontInfo(font).family(), "Digital-7");
    EXPECT_EQ(font.pixelSize(), 27);
}

TEST(FontSlotTest, RegisterFont_AfterAMeasure_LaterMeasuresUseTheNewFont) {
    ASSERT_NE(CreateBlankImage(94, 10, 10), 0u);
    ASSERT_NE(BeginDrawing(ImageDrawingTarget(94)), 0);
    SetDrawingFont(CreateFontInSlot(94, "MicroTech", 18, 0));
    EXPECT_GT(TextPixelWidth("Каналов-0...0 kHz"), 0);

    const std::vector<char> data = SkinFile("microtech.ttf");
    ASSERT_FALSE(data.empty());
    RegisterFontFromMemory(data.data(), data.size());
    const int measured = TextPixelWidth("Каналов-0...0 kHz");
    EndDrawing();

    const QFont font = FontOf(CreateFontInSlot(95, "microtech", 18, 0));
    EXPECT_EQ(QFontInfo(font).family(), "MicroTech");
    EXPECT_EQ(measured,
              QFontMetrics(font).horizontalAdvance(QString::fromUtf8("Каналов-0...0 kHz")));
    StoreImage(94, QImage());
}
