// Randomised state files: random bytes and damaged good files. The reader must never fail
// (the test command runs this again under AddressSanitizer), every value it takes must be in
// its range, and what it takes must survive being written and read again unchanged.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "saved_state.h"

namespace {

void ExpectSane(const SavedState &s) {
    if (s.volumePercent) {
        EXPECT_GE(*s.volumePercent, 0);
        EXPECT_LE(*s.volumePercent, 100);
    }
    for (const auto &p : {s.mainWindow, s.miniWindow}) {
        if (!p) continue;
        EXPECT_LE(std::abs(p->x), kSavedCoordinateLimit);
        EXPECT_LE(std::abs(p->y), kSavedCoordinateLimit);
    }
    EXPECT_LE(s.trackFolder.size(), kSavedTextLimit);
    EXPECT_LE(s.trackName.size(), kSavedTextLimit);
    EXPECT_LE(s.stationAddress.size(), kSavedTextLimit);
    EXPECT_EQ(s.trackFolder.find('\0'), std::string::npos);
    // A path inside the folder: never above it, never absolute.
    EXPECT_NE(s.trackName.front(), '/');
    EXPECT_EQ(("/" + s.trackName + "/").find("/../"), std::string::npos);
    if (!s.trackFolder.empty()) {
        EXPECT_EQ(s.trackFolder.front(), '/');
        EXPECT_EQ(s.trackFolder.back(), '/');
    }
    // Whatever was taken reads back the same once written.
    EXPECT_EQ(ParseSavedState(FormatSavedState(s)), s);
}

std::string GoodFile() {
    SavedState s;
    s.volumePercent = 73;
    s.trackFolder = "/music/a\\b\n/";
    s.trackName = "song.mp3";
    s.lastSource = SavedSource::kTrack;
    s.stationAddress = "https://r.example/s";
    s.stationIndex = 2;
    s.mainWindow = SavedPoint{100, 200};
    s.miniWindow = SavedPoint{-5, 7};
    s.miniMode = false;
    s.panel = SavedPanel::kTracks;
    return FormatSavedState(s);
}

TEST(SavedStateFuzz, RandomBytes_GiveSaneStates) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 600);
    for (int round = 0; round < 20000; ++round) {
        std::string text = round % 2 ? "[volnar]\n" : "";
        const int n = length(random);
        for (int i = 0; i < n; ++i)
            text += static_cast<char>(byte(random));
        ExpectSane(ParseSavedState(text));
    }
}

TEST(SavedStateFuzz, DamagedGoodFiles_GiveSaneStates) {
    const std::string good = GoodFile();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255), edits(1, 8), kind(0, 3);
    static const std::string kTokens[] = {"=",
                                          "\n",
                                          "\\",
                                          "\\x",
                                          "-",
                                          "99999999999",
                                          ",",
                                          "/",
                                          "[volnar]\n",
                                          "\r",
                                          std::string(1, '\0')};
    for (int round = 0; round < 20000; ++round) {
        std::string text = good;
        for (int e = edits(random); e > 0 && !text.empty(); --e) {
            const std::size_t at =
                std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(random);
            switch (kind(random)) {
                case 0:
                    text[at] = static_cast<char>(byte(random));
                    break;
                case 1:
                    text.erase(at, 1 + at % 5);
                    break;
                case 2:
                    text.insert(at, kTokens[at % std::size(kTokens)]);
                    break;
                default:
                    text.resize(at);
                    break;
            }
        }
        ExpectSane(ParseSavedState(text));
    }
}

}  // namespace
