#include <fstream>

#include "audio_engine.h"
#include "engine_loading.h"
#include "playback_controller.h"
#include "player_fixture.h"
#include "start_up.h"
#include "ui_internal.h"

namespace {

using StartUpState = PlayerTest;

TEST_F(StartUpState, InitialValues) {
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(g.paused, 0);
    EXPECT_EQ(g.stationPanelClosed, 1);
    EXPECT_EQ(g.trackPanelClosed, 1);
    EXPECT_FLOAT_EQ(g.volume, VolumeGain(50));
    EXPECT_EQ(g.volumePercent, 50);
    EXPECT_FLOAT_EQ(g.marqueeX, 50.0f);
    EXPECT_FLOAT_EQ(g.marqueeStep, 1.0f);
    EXPECT_EQ(g.spectrumLastBar, 41);
    EXPECT_EQ(g.barColour, RGB(196, 198, 204));
    EXPECT_EQ(g.stationGroup, "Всё подряд");
    EXPECT_EQ(g.mouseX, 230 + 42 * 6);  // advanced past the last spectrum bar
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 0);
    EXPECT_EQ(GetControlText(kFolderLabel), "Путь");
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "50");
    EXPECT_NE(g.marqueeText.find("...Каналов-0...0 kHz..."), std::string::npos);
}

TEST_F(StartUpState, ControlsAtTheirPlaces) {
    EXPECT_EQ(ControlLeft(kSeekBar), 225);
    EXPECT_EQ(ControlLeft(kFirstBar), 230);
    EXPECT_EQ(ControlLeft(kFirstBar + 41), 476);
    EXPECT_EQ(ControlLeft(kFirstVolumeDot + 9), 139 + 72);
    const ScreenRect panel = ControlScreenRect(NativeControlHandle(kTrackPanel));
    EXPECT_EQ(panel.bottom - panel.top, 0);  // both panels collapsed
    const ScreenRect exit = ControlScreenRect(NativeControlHandle(kExitButton));
    EXPECT_EQ(exit.right - exit.left, 22);
    EXPECT_EQ(exit.bottom - exit.top, 12);
}

TEST_F(StartUpState, VolumeDots_FirstFiveLit) {
    const ImageRecord *dot = ImageFromHandle(NativeImageHandle(kVolumeDotImage));
    ASSERT_NE(dot, nullptr);
    const QRgb litCentre = dot->image.pixel(2, 2);
    auto *window = reinterpret_cast<QWidget *>(NativeWindowHandle(kMainWindow));
    const QImage shown = window->grab().toImage();
    for (int n = 401; n <= 410; ++n) {
        const QRgb centre = shown.pixel(139 + 8 * (n - 401) + 2, 98 + 2);
        if (n <= 405)
            EXPECT_EQ(qRgb(qRed(centre), qGreen(centre), qBlue(centre)),
                      qRgb(qRed(litCentre), qGreen(litCentre), qBlue(litCentre)))
                << n;
        else
            EXPECT_NE(centre & 0xFFFFFF, litCentre & 0xFFFFFF) << n;
    }
}

}  // namespace

namespace {

bool Mapped(const std::string &library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(library) != std::string::npos) return true;
    return false;
}

using AudioEngineLoading = PlayerTest;

TEST_F(AudioEngineLoading, NotLoadedAtStartUp_LoadedByTheFirstStream) {
    RunTurns(100);  // ticks ask the engine for length, position, spectrum
    EXPECT_FALSE(Mapped("libvolnar-engine"));
    EXPECT_FALSE(Mapped("libavcodec"));
    FillTrackList(1, 0);
    PlaySelectedTrack();
    EXPECT_NE(g.streamHandle, 0u);
    EXPECT_TRUE(Mapped("libvolnar-engine"));
    EXPECT_TRUE(Mapped("libavcodec"));
    RunTurns(200);
    EXPECT_GT(g.streamLengthBytes, 0);  // the ticks now reach the engine
}

// Loaded ahead while the window runs its turns: no stream is made for it, the turns go on,
// and the first track plays on the engine so loaded.
TEST_F(AudioEngineLoading, LoadedAhead_WhileTheTurnsRun_FirstTrackPlaysOnIt) {
    LoadEngineAhead();
    EXPECT_TRUE(RunTurnsUntil([] { return Mapped("libavcodec"); }, 20000));
    RunTurns(100);
    EXPECT_EQ(g.streamHandle, 0u);
    LoadEngineAhead();  // loaded: nothing more
    FillTrackList(1, 0);
    PlaySelectedTrack();
    ASSERT_NE(g.streamHandle, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), DWORD{BASS_ACTIVE_PLAYING});
    RunTurns(200);
    EXPECT_GT(g.streamLengthBytes, 0);
}

// A track asked for while the load ahead is under way waits for it: one engine, one stream.
TEST_F(AudioEngineLoading, TrackRightAfterTheLoadAheadStarts_PlaysOnceItIsLoaded) {
    LoadEngineAhead();
    FillTrackList(2, 0);
    PlaySelectedTrack();
    ASSERT_NE(g.streamHandle, 0u);
    EXPECT_TRUE(Mapped("libavcodec"));
    const HSTREAM first = g.streamHandle;
    StepTrack(+1);
    EXPECT_NE(g.streamHandle, first);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), DWORD{BASS_ACTIVE_PLAYING});
}

// Quitting at once after the start, while the libraries are still being loaded, is a clean
// end, not a crash in their start or end code.
TEST_F(AudioEngineLoading, EndWhileLoadingAhead_ExitsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LoadEngineAhead();
            ShutDown();  // the player's own end, after its last turn
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
