#include <gtest/gtest.h>

#include <limits>

#include "refresh_tick.h"
#include "stream_title.h"

namespace {

std::string TitleOf(const char *metadata, const std::string &before = "unchanged") {
    std::string title = before;
    StreamTitleFromMetadata(metadata, &title);
    return title;
}

TEST(StreamTitleFromMetadata, ShortTitle_WithoutTheKeyOrTheNextKey) {
    EXPECT_EQ(TitleOf("StreamTitle='Song';StreamUrl='http://x/';"), "Song");
}

TEST(StreamTitleFromMetadata, LongTitle_Whole) {
    const std::string longTitle(300, 'x');
    const std::string meta = "StreamTitle='" + longTitle + "';";
    EXPECT_EQ(TitleOf(meta.c_str()), longTitle);
}

TEST(StreamTitleFromMetadata, QuotesInsideTheTitle_Kept) {
    EXPECT_EQ(TitleOf("StreamTitle='Rock 'n' Roll';"), "Rock 'n' Roll");
}

TEST(StreamTitleFromMetadata, CyrillicUtf8AndWindows1251_BytesPassedThrough) {
    EXPECT_EQ(TitleOf("StreamTitle='Кино - Группа крови';"), "Кино - Группа крови");
    // "Кино" in Windows-1251; the widget layer decides how to show it.
    EXPECT_EQ(TitleOf("StreamTitle='\xCA\xE8\xED\xEE';"), "\xCA\xE8\xED\xEE");
}

TEST(StreamTitleFromMetadata, MissingClosing_RunsToTheEnd) {
    EXPECT_EQ(TitleOf("StreamTitle='Cut off"), "Cut off");
}

TEST(StreamTitleFromMetadata, KeyNotFirst_StillFound) {
    EXPECT_EQ(TitleOf("StreamUrl='u';StreamTitle='B';"), "B");
}

TEST(StreamTitleFromMetadata, EmptyTitle_Empty) {
    EXPECT_EQ(TitleOf("StreamTitle='';"), "");
}

TEST(StreamTitleFromMetadata, NoKeyOrTooShortOrNull_Unchanged) {
    EXPECT_EQ(TitleOf("StreamUrl='x';"), "unchanged");
    EXPECT_EQ(TitleOf("StreamTitle="), "unchanged");
    EXPECT_EQ(TitleOf(""), "unchanged");
    EXPECT_EQ(TitleOf(nullptr), "unchanged");
    std::string title;
    EXPECT_FALSE(StreamTitleFromMetadata("garbage\x01\xff", &title));
}

TEST(SpectrumBarHeight, EdgeMagnitudes_FullAndEmpty) {
    EXPECT_EQ(SpectrumBarHeight(0.08265625f, 12), 12);  // 11.5 rounds to 12
    EXPECT_EQ(SpectrumBarHeight(1.0f, 12), 12);
    EXPECT_EQ(SpectrumBarHeight(0.00015625f, 12), 0);  // 0.5 rounds to 0
    EXPECT_EQ(SpectrumBarHeight(0.0f, 12), 0);
}

TEST(SpectrumBarHeight, InBetween_SquareRootTimesForty) {
    EXPECT_EQ(SpectrumBarHeight(0.01f, 12), 4);     // sqrt 0.1 * 40
    EXPECT_EQ(SpectrumBarHeight(0.0025f, 12), 2);   // 0.05 * 40
    EXPECT_EQ(SpectrumBarHeight(0.0625f, 12), 10);  // 0.25 * 40
}

TEST(SpectrumBarHeight, BadData_Empty_HugeData_Full) {
    EXPECT_EQ(SpectrumBarHeight(-1.0f, 12), 0);
    EXPECT_EQ(SpectrumBarHeight(std::numeric_limits<float>::quiet_NaN(), 12), 0);
    EXPECT_EQ(SpectrumBarHeight(std::numeric_limits<float>::max(), 12), 12);
    EXPECT_EQ(SpectrumBarHeight(std::numeric_limits<float>::infinity(), 12), 12);
}

}  // namespace

namespace {

TEST(SplitStreamTitle, ArtistDashTitle_TwoParts_OtherFormsWhole) {
    std::string artist = "kept", title = "kept";
    EXPECT_TRUE(SplitStreamTitle("Кино - Группа крови", &artist, &title));
    EXPECT_EQ(artist, "Кино");
    EXPECT_EQ(title, "Группа крови");
    // The first dash with text on both sides; the rest belongs to the title.
    EXPECT_TRUE(SplitStreamTitle("AC/DC  -  Back in Black - Live ", &artist, &title));
    EXPECT_EQ(artist, "AC/DC");
    EXPECT_EQ(title, "Back in Black - Live");
    for (const char *whole :
         {"Без дефиса", "Jean-Michel Jarre", "Artist -", "Artist - ", " - Песня", ""}) {
        artist = title = "kept";
        EXPECT_FALSE(SplitStreamTitle(whole, &artist, &title)) << whole;
        EXPECT_EQ(artist, "kept");
        EXPECT_EQ(title, "kept");
    }
}

}  // namespace
