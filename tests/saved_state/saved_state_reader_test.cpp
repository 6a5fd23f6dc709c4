// The state file's reader: what a good file gives, and what every kind of bad file leaves
// unset (so the player keeps its default for it) without ever failing.
#include <gtest/gtest.h>

#include <string>

#include "saved_state.h"

namespace {

SavedState FullState() {
    SavedState s;
    s.volumePercent = 80;
    s.trackFolder = "/home/u/Музыка/";
    s.trackName = "01 песня.mp3";
    s.lastSource = SavedSource::kStation;
    s.stationAddress = "http://radio.example/live?x=1&y=2";
    s.stationIndex = 3;
    s.mainWindow = SavedPoint{-40, 1200};
    s.miniWindow = SavedPoint{10, 20};
    s.miniMode = true;
    s.panel = SavedPanel::kStations;
    return s;
}

SavedState Parse(const std::string &body) {
    return ParseSavedState("[volnar]\n" + body);
}

TEST(SavedStateReader, FormattedState_ReadsBackUnchanged) {
    const SavedState s = FullState();
    EXPECT_EQ(ParseSavedState(FormatSavedState(s)), s);
    EXPECT_EQ(ParseSavedState(FormatSavedState(SavedState{})), SavedState{});
}

TEST(SavedStateReader, NamesWithControlCharactersAndBackslashes_RoundTripAsOneLineEach) {
    SavedState s;
    s.trackFolder = "/a\nb\\c\x01\x7f\td/";
    s.trackName = "x\r\ny\\\\.mp3";
    s.stationAddress = "http://h/\x1b[31m";
    s.volumePercent = 5;
    const std::string text = FormatSavedState(s);
    for (const char c : text)
        if (c != '\n') {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f);
        }
    EXPECT_EQ(ParseSavedState(text), s);
}

TEST(SavedStateReader, MissingEmptyOrSectionlessText_GivesNothing) {
    EXPECT_EQ(ParseSavedState(""), SavedState{});
    EXPECT_EQ(ParseSavedState("\n\n\r\n"), SavedState{});
    EXPECT_EQ(ParseSavedState("volume=80\n"), SavedState{});  // before any section
    EXPECT_EQ(ParseSavedState("[other]\nvolume=80\n"), SavedState{});
    EXPECT_EQ(ParseSavedState("[volnar]\n[other]\nvolume=80\n"), SavedState{});
}

TEST(SavedStateReader, WindowsLineEndsCommentsAndUnknownKeys_AreTolerated) {
    const SavedState s = ParseSavedState(
        "# comment\r\n[volnar]\r\n; another\r\nfuture_key=1\r\nvolume=42\r\npanel=tracks\r\n");
    EXPECT_EQ(s.volumePercent, 42);
    EXPECT_EQ(s.panel, SavedPanel::kTracks);
}

TEST(SavedStateReader, NumbersOutOfRangeOrMalformed_AreNotTaken) {
    for (const char *bad : {"-1", "101", "99999999999999999999", "-99999999999999999999", "", " 50",
                            "50 ", "5O", "0x10", "+5", "1e2", "50.5", "nan"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Parse(std::string("volume=") + bad + "\n").volumePercent.has_value());
    }
    EXPECT_EQ(Parse("volume=0\n").volumePercent, 0);
    EXPECT_EQ(Parse("volume=100\n").volumePercent, 100);

    for (const char *bad :
         {"1", "1,", ",1", "1;2", "100001,0", "0,-100001", "a,b", "2147483648,0", "1,2,3"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Parse(std::string("main_window=") + bad + "\n").mainWindow.has_value());
    }
    EXPECT_EQ(Parse("mini_window=-100000,100000\n").miniWindow, (SavedPoint{-100000, 100000}));
    EXPECT_FALSE(Parse("mini_mode=2\n").miniMode.has_value());
    EXPECT_FALSE(Parse("station_index=-3\n").stationIndex.has_value());
}

TEST(SavedStateReader, UnknownWords_LeaveTheDefault) {
    const SavedState s = Parse("last_source=tape\npanel=both\n");
    EXPECT_EQ(s.lastSource, SavedSource::kNone);
    EXPECT_EQ(s.panel, SavedPanel::kNone);
}

TEST(SavedStateReader, RawControlCharactersOrBrokenEscapes_LeaveTheTextEmpty) {
    EXPECT_EQ(Parse("track_folder=/a\x01"
                    "b/\n")
                  .trackFolder,
              "");
    EXPECT_EQ(Parse("track_folder=/a\x1b[2J/\n").trackFolder, "");
    EXPECT_EQ(Parse("track_folder=/a\\q/\n").trackFolder, "");
    EXPECT_EQ(Parse("track_folder=/a\\x4/\n").trackFolder, "");
    EXPECT_EQ(Parse("track_folder=/a\\\n").trackFolder, "");
    EXPECT_EQ(Parse(std::string("station=http://x/\0y\n", 21)).stationAddress, "");
    // An escaped zero byte cannot name a file either.
    EXPECT_EQ(Parse("track_folder=/a\\x00b/\n").trackFolder, "");
    EXPECT_EQ(Parse("station=http://a\\x00\n").stationAddress, "");
}

TEST(SavedStateReader, FoldersAndNamesThatCannotBeOurs_AreNotTaken) {
    EXPECT_EQ(Parse("track_folder=relative/\n").trackFolder, "");
    EXPECT_EQ(Parse("track_folder=/no/trailing/slash\n").trackFolder, "");
    EXPECT_EQ(Parse("track_folder=/ok/\n").trackFolder, "/ok/");
    for (const char *bad :
         {"..", ".", "../x.mp3", "a/../../b.mp3", "a/./b.mp3", "a//b.mp3", "a/", "/etc/passwd"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Parse(std::string("track=") + bad + "\n").trackName, "");
    }
    // A track of a sub-folder of the list's folder.
    EXPECT_EQ(Parse("track=Album/cd1/01.flac\n").trackName, "Album/cd1/01.flac");
    EXPECT_EQ(Parse("track_subfolders=1\n").trackSubFolders, true);
    EXPECT_EQ(Parse("track_subfolders=2\n").trackSubFolders, std::nullopt);
    EXPECT_EQ(Parse("repeat=2\nshuffle=1\nclock=1\nequaliser=4\n"),
              (SavedState{.repeat = 2, .shuffle = true, .clockMode = 1, .equaliser = 4}));
    EXPECT_EQ(Parse("repeat=3\nshuffle=yes\nclock=-1\nequaliser=1000\n"), SavedState{});
}

TEST(SavedStateReader, TextsBeyondTheLimit_AreNotTaken) {
    const std::string longest(kSavedTextLimit - 1, 'a');
    EXPECT_EQ(Parse("track_folder=/" + longest + "/\n").trackFolder, "");  // limit + 1
    EXPECT_EQ(Parse("track_folder=/" + std::string(kSavedTextLimit - 2, 'a') + "/\n").trackFolder,
              "/" + std::string(kSavedTextLimit - 2, 'a') + "/");
    // Escapes count as the bytes they stand for.
    std::string escaped;
    for (std::size_t i = 0; i < kSavedTextLimit + 1; ++i)
        escaped += "\\x01";
    EXPECT_EQ(Parse("station=" + escaped + "\n").stationAddress, "");
}

TEST(SavedStateReader, AHugeFile_IsReadOnlyUpToTheLimit) {
    std::string text = "[volnar]\nvolume=10\n";
    text += std::string(kSavedFileLimit, 'x') + "\nvolume=90\n";
    EXPECT_EQ(ParseSavedState(text).volumePercent, 10);
}

TEST(SavedStateReader, TruncatedAtAnyByte_GivesWholeValuesOrNone) {
    const SavedState full = FullState();
    const std::string text = FormatSavedState(full);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const SavedState s = ParseSavedState(text.substr(0, cut));
        SCOPED_TRACE(cut);
        // A cut number may read as a smaller one; a cut text is a shorter one or none.
        if (s.volumePercent) {
            EXPECT_LE(*s.volumePercent, 80);
        }
        if (!s.trackFolder.empty()) {
            EXPECT_EQ(full.trackFolder.compare(0, s.trackFolder.size(), s.trackFolder), 0);
        }
        if (s.miniMode) {
            EXPECT_TRUE(*s.miniMode);
        }
    }
}

TEST(SavedStateReader, DuplicateKeys_TheLastOneCounts) {
    EXPECT_EQ(Parse("volume=10\nvolume=20\n").volumePercent, 20);
    EXPECT_FALSE(Parse("volume=10\nvolume=-20\n").volumePercent.has_value());
}

}  // namespace
