#include <gtest/gtest.h>

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

}  // namespace
