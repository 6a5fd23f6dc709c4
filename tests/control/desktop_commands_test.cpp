// The commands of the desktop's media controls: they agree with what is heard where the
// buttons' own toggles would not, and a stop stays a stop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <filesystem>

#include "audio_engine.h"
#include "control_numbers.h"
#include "playback_controller.h"
#include "player_state.h"
#include "test_media.h"
#include "widgets.h"

namespace fs = std::filesystem;

namespace {

class DesktopCommands : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        dir_ = fs::temp_directory_path() / ("volnar-desktop-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        for (const char *name : {"a.wav", "b.wav"})
            testmedia::WriteWav(dir_ / name, 44100, 2, testmedia::SampleKind::kInt16,
                                testmedia::Sine(440, 4.0, 44100, 2, 0.25));
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    void SetUp() override {
        ResetPlayerState();
        g.volume = 0.5f;
        g.volumePercent = 50;
        CreateBlankImage(kVolumeDotImage, 5, 5);
        BeginDrawing(ImageDrawingTarget(kVolumeDotImage));
        FillBox(0, 0, 5, 5, RGB(0, 200, 255));
        EndDrawing();
        CreateTopWindow(kMainWindow, 0, 0, 600, 400, "Плеер", 7);
        for (int dot = 401; dot <= 410; ++dot)
            CreateImageControl(dot, 139 + 8 * (dot - 401), 98, 5, 5, 0);
        CreateContainer(kTrackPanel, 105, 240, 390, 150);
        CreateListControl(kTrackList, -2, -2, 415, 155);
        CreateTextLabel(kFolderLabel, 0, 0, 0, 0, dir_.string() + "/", 0);
        EndContainer();
        CreateContainer(kStationPanel, 105, 240, 390, 0);
        CreateListControl(kStationList, -2, -2, 415, 155);
        EndContainer();
        CreateTextLabel(kInfoLine, 230, 115, 250, 10, "old", 1);
        CreateCheckBox(kAutoAdvanceBox, 0, 0, 0, 0, "");
        SetWindowVisible(kMainWindow, 1);
        CreateTopWindow(kMiniWindow, 0, 0, 225, 52, "мини", 7);
        CreateTextLabel(kMiniVolumeLabel, 207, 35, 15, 10, "50", 0);
        for (const char *name : {"a.wav", "b.wav"})
            AddListItem(kTrackList, -1, name);
        g.trackCount = 2;
        SetControlValue(kTrackList, 0);
    }

    void TearDown() override {
        BASS_StreamFree(g.streamHandle);
        CloseTopWindow(kMainWindow);
        CloseTopWindow(kMiniWindow);
    }

    static DWORD Active() { return BASS_ChannelIsActive(g.streamHandle); }

    static int LitDots() {
        QImage shown;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->windowTitle() == QStringLiteral("Плеер")) shown = w->grab().toImage();
        int lit = 0;
        for (int dot = 401; dot <= 410; ++dot)
            lit += shown.pixel(139 + 8 * (dot - 401) + 2, 100) == qRgb(0, 200, 255);
        return lit;
    }

    static fs::path dir_;
};
fs::path DesktopCommands::dir_;

TEST_F(DesktopCommands, PauseAndPlay_FollowWhatIsHeard_EvenWithTheButtonsStaleFlag) {
    PlaySelectedTrack();
    ASSERT_EQ(Active(), BASS_ACTIVE_PLAYING);
    // The pause button's flag survives a new track: 1 while the new one plays.
    g.paused = 1;
    PausePlayback();
    EXPECT_EQ(Active(), BASS_ACTIVE_PAUSED);
    EXPECT_EQ(g.paused, 1);
    PausePlayback();  // paused already: stays paused
    EXPECT_EQ(Active(), BASS_ACTIVE_PAUSED);
    const std::uint64_t serial = g.streamSerial;
    Play();  // resumes, does not restart
    EXPECT_EQ(Active(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(g.paused, 0);
    EXPECT_EQ(g.streamSerial, serial);
    PlayOrPause();
    EXPECT_EQ(Active(), BASS_ACTIVE_PAUSED);
    PlayOrPause();
    EXPECT_EQ(Active(), BASS_ACTIVE_PLAYING);
    // The pause button still toggles from the flag the commands left.
    TogglePause();
    EXPECT_EQ(Active(), BASS_ACTIVE_PAUSED);
}

TEST_F(DesktopCommands, Stop_EndsTheStreamAndNothingAdvances_PlayStartsTheSelectedTrack) {
    PlaySelectedTrack();
    StopPlayback();
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 0);
    AutoAdvance();
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    Play();
    EXPECT_EQ(Active(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(g.streamAddress, (dir_ / "a.wav").string());
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 1);
}

TEST_F(DesktopCommands, PlayWithNothingLoaded_ResumesTheStationThatPlayedLast) {
    g.lastStreamWasStation = 1;
    g.stationUrl = "http://127.0.0.1:1/none";
    Play();  // the address does not answer: no stream, but it was the station that was tried
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/none");
    EXPECT_EQ(g.lastStreamWasStation, 1);
}

TEST_F(DesktopCommands, SetVolumePercent_MovesVolumeLabelAndDotsTogether) {
    SetVolumePercent(30);
    EXPECT_EQ(g.volumePercent, 30);
    EXPECT_FLOAT_EQ(g.volume, VolumeGain(30));
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "30");
    EXPECT_EQ(LitDots(), 3);
    SetVolumePercent(-5);
    EXPECT_EQ(g.volumePercent, 0);
    EXPECT_EQ(LitDots(), 0);
    SetVolumePercent(1000);
    EXPECT_EQ(g.volumePercent, 100);
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "100");
    EXPECT_EQ(LitDots(), 10);
    SetVolumePercent(35);  // halves to even, as every conversion of the player
    EXPECT_EQ(LitDots(), 4);
}

TEST_F(DesktopCommands, SeekToMicroseconds_ClampsToTheTrack_RefusesWithoutLength) {
    EXPECT_FALSE(SeekToMicroseconds(1000000));  // nothing plays
    PlaySelectedTrack();
    EXPECT_EQ(PlaybackLengthMicroseconds(), 4000000);
    EXPECT_TRUE(SeekToMicroseconds(2500000));
    EXPECT_NEAR(PlaybackPositionMicroseconds(), 2500000, 300000);
    EXPECT_TRUE(SeekToMicroseconds(-7));
    EXPECT_LT(PlaybackPositionMicroseconds(), 300000);
}

TEST_F(DesktopCommands, PlayAddress_AListedStationAsIfDoubleClicked_ElseUntitled) {
    g.stations.entries = {{"http://127.0.0.1:1/a", "Первая"}, {"http://127.0.0.1:1/b", "Вторая"}};
    AddListItem(kStationList, -1, "Первая");
    AddListItem(kStationList, -1, "Вторая");
    PlayAddress("http://127.0.0.1:1/b");
    EXPECT_EQ(GetControlValue(kStationList), 1);
    EXPECT_EQ(g.stations.current, 1);
    EXPECT_EQ(GetControlText(kInfoLine), "Вторая");
    EXPECT_EQ(g.stationUrl, "http://127.0.0.1:1/b");
    PlayAddress("http://127.0.0.1:1/other");
    EXPECT_EQ(GetControlValue(kStationList), -1);
    EXPECT_EQ(g.stations.current, -1);
    EXPECT_EQ(GetControlText(kInfoLine), "http://127.0.0.1:1/other");  // it goes by its address
    EXPECT_EQ(g.currentTitle, "");
    EXPECT_EQ(g.stationUrl, "http://127.0.0.1:1/other");
    EXPECT_EQ(g.lastStreamWasStation, 1);
}

}  // namespace
