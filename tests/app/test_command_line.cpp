// The command line: reading it (what to open, which station file, help, version, errors) and
// opening what it names in a started player.
#include <filesystem>
#include <fstream>

#include "audio_engine.h"
#include "command_line.h"
#include "playback_controller.h"
#include "player_fixture.h"
#include "test_media.h"

namespace {

using Args = std::vector<std::string>;
using Action = CommandLine::Action;
using Open = CommandLine::Open;

// A folder with two tracks, a text file, a station file and a sub-folder.
class CommandLineFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = media_.Path("music");
        std::filesystem::create_directories(folder_ + "/sub");
        for (const char *name : {"b.wav", "a.wav"})
            testmedia::WriteWav(folder_ + "/" + name, 44100, 2, testmedia::SampleKind::kInt16,
                                testmedia::Sine(440, 2.0, 44100, 2, 0.3));
        std::ofstream(folder_ + "/notes.txt") << "text";
        std::ofstream(folder_ + "/Jazz.PLS") << "[Всё подряд]\nFile1=http://127.0.0.1:9/j\n";
    }

    CommandLine Read(const Args &args) { return ReadCommandLine(args, folder_); }

    testmedia::TempDir media_;
    std::string folder_;
};

TEST_F(CommandLineFiles, NoArguments_StartsAsBefore) {
    const CommandLine line = Read({});
    EXPECT_EQ(line.action, Action::kStart);
    EXPECT_EQ(line.open, Open::kNothing);
    EXPECT_EQ(line.stationFile, "");
}

TEST_F(CommandLineFiles, Files_FirstOneOpens_RelativePathsMadeAbsolute) {
    CommandLine line = Read({"b.wav", folder_ + "/a.wav"});
    EXPECT_EQ(line.action, Action::kStart);
    EXPECT_EQ(line.open, Open::kTrack);
    EXPECT_EQ(line.target, folder_ + "/b.wav");
    // The current folder with or without its trailing "/".
    line = ReadCommandLine({"a.wav"}, folder_ + "/");
    EXPECT_EQ(line.target, folder_ + "/a.wav");
}

TEST_F(CommandLineFiles, Folder_OpensWithTrailingSlash) {
    const CommandLine line = Read({"sub"});
    EXPECT_EQ(line.open, Open::kFolder);
    EXPECT_EQ(line.target, folder_ + "/sub/");
    EXPECT_EQ(Read({folder_ + "/"}).target, folder_ + "/");
}

TEST_F(CommandLineFiles, Addresses_HttpAndHttpsInAnyCase) {
    for (const std::string address :
         {"http://127.0.0.1:8000/live.mp3", "https://radio.example/x", "HTTP://host/"}) {
        const CommandLine line = Read({address});
        EXPECT_EQ(line.action, Action::kStart) << address;
        EXPECT_EQ(line.open, Open::kStation) << address;
        EXPECT_EQ(line.target, address);
    }
}

TEST_F(CommandLineFiles, StationFile_ByExtension_WithOrWithoutSomethingToOpen) {
    CommandLine line = Read({"Jazz.PLS"});
    EXPECT_EQ(line.open, Open::kNothing);
    EXPECT_EQ(line.stationFile, folder_ + "/Jazz.PLS");
    line = Read({"a.wav", "Jazz.PLS", "http://host/"});
    EXPECT_EQ(line.open, Open::kTrack);
    EXPECT_EQ(line.target, folder_ + "/a.wav");
    EXPECT_EQ(line.stationFile, folder_ + "/Jazz.PLS");
}

TEST_F(CommandLineFiles, FirstThingToOpen_Wins_LaterOnesStillChecked) {
    EXPECT_EQ(Read({"http://host/", "a.wav"}).open, Open::kStation);
    EXPECT_EQ(Read({"sub", "a.wav"}).open, Open::kFolder);
    EXPECT_EQ(Read({"a.wav", "missing.wav"}).action, Action::kFail);
}

TEST_F(CommandLineFiles, HelpAndVersion_ShortAndLong_FirstDecides) {
    EXPECT_EQ(Read({"--help"}).action, Action::kPrintHelp);
    EXPECT_EQ(Read({"-h"}).action, Action::kPrintHelp);
    EXPECT_EQ(Read({"--version"}).action, Action::kPrintVersion);
    EXPECT_EQ(Read({"-V"}).action, Action::kPrintVersion);
    EXPECT_EQ(Read({"a.wav", "--version", "--help"}).action, Action::kPrintVersion);
    EXPECT_EQ(Read({"--bogus", "--help"}).action, Action::kFail);
    // Options before paths: help is printed whatever the paths are.
    EXPECT_EQ(Read({"missing.wav", "--help"}).action, Action::kPrintHelp);
    EXPECT_EQ(Read({"ftp://host/", "-V"}).action, Action::kPrintVersion);
    // After "--" nothing is an option.
    EXPECT_EQ(Read({"--", "--help"}).action, Action::kFail);
    EXPECT_NE(CommandLineHelp().find("--version"), std::string::npos);
    EXPECT_EQ(CommandLineVersion().rfind("volnar ", 0), 0u);
    EXPECT_EQ(CommandLineVersion().back(), '\n');
}

TEST_F(CommandLineFiles, Errors_OneLineEach) {
    const Args bad[] = {{"missing.mp3"},   {"--bogus"}, {"-x"},        {"ftp://host/a.mp3"},
                        {"file:///a.mp3"}, {""},        {"/dev/null"}, {"a.wav", "-q"}};
    for (const Args &args : bad) {
        const CommandLine line = Read(args);
        EXPECT_EQ(line.action, Action::kFail) << args.back();
        EXPECT_FALSE(line.error.empty()) << args.back();
        EXPECT_EQ(line.error.find('\n'), std::string::npos) << args.back();
        EXPECT_EQ(line.open, Open::kNothing);
    }
    EXPECT_NE(Read({"missing.mp3"}).error.find("missing.mp3"), std::string::npos);
}

TEST_F(CommandLineFiles, DoubleDash_EndsOptions) {
    std::ofstream(folder_ + "/-x.wav") << "RIFF";
    const CommandLine line = Read({"--", "-x.wav"});
    EXPECT_EQ(line.action, Action::kStart);
    EXPECT_EQ(line.target, folder_ + "/-x.wav");
    // After "--" an address-like name is a file name, which does not exist here.
    EXPECT_EQ(Read({"--", "http://host/"}).action, Action::kFail);
    // "-" alone is a name, not an option.
    EXPECT_NE(Read({"-"}).error.find("-"), std::string::npos);
}

// Opening what the line names, in a started player.
class CommandLineOpen : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        folder_ = media_.Path("music") + "/";
        std::filesystem::create_directories(folder_);
        for (const char *name : {"c.wav", "a.wav", "b.wav"})
            testmedia::WriteWav(folder_ + name, 44100, 2, testmedia::SampleKind::kInt16,
                                testmedia::Sine(440, 3.0, 44100, 2, 0.3));
    }

    testmedia::TempDir media_;
    std::string folder_;
};

TEST_F(CommandLineOpen, Nothing_LeavesThePlayerAsStarted) {
    OpenFromCommandLine(ReadCommandLine({}, folder_));
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(GetControlText(kFolderLabel), "Путь");
}

TEST_F(CommandLineOpen, Track_ListsItsFolder_SelectsAndPlaysIt) {
    OpenFromCommandLine(ReadCommandLine({"b.wav", "a.wav"}, folder_));
    EXPECT_EQ(g.trackCount, 3);
    EXPECT_EQ(GetControlText(kFolderLabel), folder_);
    EXPECT_EQ(GetControlValue(kTrackList), 1);  // a, b, c
    EXPECT_EQ(GetControlText(kTrackList), "b.wav");
    ASSERT_NE(g.streamHandle, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(g.marqueeText, "b.wav");
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 1);
}

TEST_F(CommandLineOpen, Folder_ListsAndSelectsFirst_PlaysNothing) {
    OpenFromCommandLine(ReadCommandLine({folder_}, "/"));
    EXPECT_EQ(g.trackCount, 3);
    EXPECT_EQ(GetControlText(kFolderLabel), folder_);
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    EXPECT_EQ(GetControlText(kTrackList), "a.wav");
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 0);
    // The play button then plays the selected first track.
    PlaySelectedTrack();
    EXPECT_NE(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "a.wav");
}

TEST_F(CommandLineOpen, EmptyFolder_ListsNothing_PlaysNothing) {
    const std::string empty = media_.Path("empty") + "/";
    std::filesystem::create_directories(empty);
    OpenFromCommandLine(ReadCommandLine({empty}, "/"));
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(GetControlValue(kTrackList), -1);
    EXPECT_EQ(g.streamHandle, 0u);
}

TEST_F(CommandLineOpen, Station_AddressShownAsTitle) {
    // Nothing listens on the discard port: the stream fails, the address is still shown.
    const std::string address = "http://127.0.0.1:9/live.mp3";
    OpenFromCommandLine(ReadCommandLine({address}, "/"));
    EXPECT_EQ(g.stationUrl, address);
    EXPECT_EQ(CurrentStationName(), address);
    EXPECT_EQ(GetControlText(kInfoLine), address);
    // The station opens in the background and ends without a sound.
    ASSERT_NE(g.streamHandle, 0u);
    EXPECT_TRUE(testmedia::WaitUntil(
        [] { return BASS_ChannelIsActive(g.streamHandle) == BASS_ACTIVE_STOPPED; },
        std::chrono::seconds(6)));
    EXPECT_EQ(BASS_ChannelGetPosition(g.streamHandle, BASS_POS_BYTE), 0u);
}

TEST(CommandLineStart, StationFile_ReadByStartUpInsteadOfTheUsualPlaces) {
    testmedia::TempDir media;
    const std::string list = media.Path("mine.pls");
    std::ofstream(list) << "[Всё подряд]\nFile1=http://127.0.0.1:9/a\nTitle1=Моя\n"
                           "File2=http://127.0.0.1:9/b\nTitle2=Вторая\n";
    PrepareStartUp(ReadCommandLine({list}, "/").stationFile);
    ASSERT_EQ(g.stations.entries.size(), 2u);
    EXPECT_EQ(g.stations.entries[1].title, "Вторая");
    SetControlValue(kStationList, 0);
    EXPECT_EQ(GetControlText(kStationList), "Моя");
    ReleaseWidgetLayer();
}

}  // namespace
