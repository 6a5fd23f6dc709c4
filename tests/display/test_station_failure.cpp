// The reasons a station that does not play gives in the scrolling line (the tick's part is
// in test_refresh_tick.cpp).
#include <gtest/gtest.h>

#include "audio_engine.h"
#include "station_failure.h"

namespace {

TEST(StationFailureText, EachReasonItsRussianText_OtherCodesNone) {
    const struct {
        int code;
        const char *text;
    } cases[] = {{BASS_ERROR_TIMEOUT, "Станция не отвечает"},
                 {BASS_ERROR_NONET, "Станция не отвечает"},
                 {BASS_ERROR_FILEOPEN, "Станция не найдена"},
                 {BASS_ERROR_SSL, "Ошибка защищённого соединения"},
                 {BASS_ERROR_FILEFORM, "Формат не поддерживается"},
                 {BASS_ERROR_PROTOCOL, "Формат не поддерживается"}};
    for (const auto &c : cases) {
        std::string text;
        EXPECT_TRUE(StationFailureText(c.code, &text)) << c.code;
        EXPECT_EQ(text, c.text);
    }
    for (int code : {BASS_OK, BASS_ERROR_HANDLE, BASS_ERROR_ILLPARAM, BASS_ERROR_UNKNOWN}) {
        std::string text = "kept";
        EXPECT_FALSE(StationFailureText(code, &text)) << code;
        EXPECT_EQ(text, "kept");
    }
}

}  // namespace
