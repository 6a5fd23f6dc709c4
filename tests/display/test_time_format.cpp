#include <gtest/gtest.h>

#include <cstdint>

#include "time_display.h"

namespace {

std::tm At(int hour, int minute, int second) {
    std::tm t{};
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(FormatTime, ClockMask_TwoDigitFieldsWithLeadingZeros) {
    EXPECT_EQ(FormatTime(At(9, 5, 7), "%hh:%ii:%ss"), "09:05:07");
    EXPECT_EQ(FormatTime(At(0, 0, 0), "%hh:%ii:%ss"), "00:00:00");
    EXPECT_EQ(FormatTime(At(23, 59, 59), "%hh:%ii:%ss"), "23:59:59");
}

TEST(FormatTime, SecondsMask_OnlyTheSeconds) {
    EXPECT_EQ(FormatTime(At(13, 44, 3), "%ss"), "03");
}

TEST(FormatTime, OtherCharacters_CopiedAsTheyAre) {
    EXPECT_EQ(FormatTime(At(1, 2, 3), "[%hh] %x %i %ss%"), "[01] %x %i 03%");
    EXPECT_EQ(FormatTime(At(1, 2, 3), ""), "");
}

TEST(FormatLocalTime, Now_EightCharacters) {
    const std::string now = FormatLocalTime("%hh:%ii:%ss");
    ASSERT_EQ(now.size(), 8u);
    EXPECT_EQ(now[2], ':');
    EXPECT_EQ(now[5], ':');
}

constexpr std::int64_t kSecond = 1000000;

TEST(TrackClockText, ElapsedAndRemaining_MinutesThenHours) {
    EXPECT_EQ(TrackClockText(kClockElapsed, 0, 200 * kSecond, false, 0), "00:00");
    EXPECT_EQ(TrackClockText(kClockElapsed, 65 * kSecond + 999999, 200 * kSecond, false, 0),
              "01:05");
    EXPECT_EQ(TrackClockText(kClockElapsed, 3725 * kSecond, 9000 * kSecond, false, 0), "1:02:05");
    // Remaining time counts up to the next whole second: 00:00 only at the very end.
    EXPECT_EQ(TrackClockText(kClockRemaining, 0, 200 * kSecond, false, 0), "-03:20");
    EXPECT_EQ(TrackClockText(kClockRemaining, 199 * kSecond + 1, 200 * kSecond, false, 0),
              "-00:01");
    EXPECT_EQ(TrackClockText(kClockRemaining, 200 * kSecond, 200 * kSecond, false, 0), "-00:00");
}

TEST(TrackClockText, StationsAndOddValues_NeverBeyondTheBox) {
    // A station has no length: the time listened, in either mode.
    EXPECT_EQ(TrackClockText(kClockRemaining, 75 * kSecond, -1, false, 0), "01:15");
    // No stream, a position past the length, absurd lengths.
    EXPECT_EQ(TrackClockText(kClockElapsed, -1, -1, false, 0), "00:00");
    EXPECT_EQ(TrackClockText(kClockRemaining, 300 * kSecond, 200 * kSecond, false, 0), "-00:00");
    EXPECT_EQ(TrackClockText(kClockElapsed, std::int64_t{1} << 62, -1, false, 0), "99:59:59");
}

TEST(TrackClockText, Paused_BlinksOnceASecond) {
    EXPECT_EQ(TrackClockText(kClockElapsed, 5 * kSecond, 10 * kSecond, true, 12000), "00:05");
    EXPECT_EQ(TrackClockText(kClockElapsed, 5 * kSecond, 10 * kSecond, true, 12499), "00:05");
    EXPECT_EQ(TrackClockText(kClockElapsed, 5 * kSecond, 10 * kSecond, true, 12500), "");
    EXPECT_EQ(TrackClockText(kClockElapsed, 5 * kSecond, 10 * kSecond, false, 12500), "00:05");
}

TEST(ClockBox, ClicksInsideOnly) {
    EXPECT_TRUE(InClockBox(107, 114));
    EXPECT_TRUE(InClockBox(217, 163));
    EXPECT_FALSE(InClockBox(218, 130));
    EXPECT_FALSE(InClockBox(150, 113));
    EXPECT_FALSE(InClockBox(-1, -1));  // the pointer outside the window
}

}  // namespace
