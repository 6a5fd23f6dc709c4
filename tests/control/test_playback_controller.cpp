// The playback commands with the real audio engine (SDL's dummy driver) and the real widget
// layer (offscreen), on media written by the tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio_engine.h"
#include "control_numbers.h"
#include "lists_controls.h"
#include "playback_controller.h"
#include "player_state.h"
#include "test_media.h"
#include "track_folder.h"
#include "widgets.h"

namespace fs = std::filesystem;

namespace {

// A 16-bit stereo 44100 Hz WAV of a quiet sine, optionally followed by an ID3v1 block.
void WriteWav(const fs::path &path, double seconds, const std::string &artist = "",
              const std::string &title = "") {
    testmedia::WriteWav(path, 44100, 2, testmedia::SampleKind::kInt16,
                        testmedia::Sine(440, seconds, 44100, 2, 0.25));
    if (artist.empty() && title.empty()) return;
    std::vector<std::uint8_t> bytes = testmedia::ReadBytes(path);
    std::uint8_t tag[128] = {'T', 'A', 'G'};
    title.copy(reinterpret_cast<char *>(tag) + 3, 30);
    artist.copy(reinterpret_cast<char *>(tag) + 33, 30);
    bytes.insert(bytes.end(), tag, tag + sizeof tag);
    testmedia::WriteBytes(path, bytes);
}

class Controller : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        dir_ = fs::temp_directory_path() / ("volnar-controller-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        WriteWav(dir_ / "a.wav", 2.0, "Artist A", "Title A");
        WriteWav(dir_ / "b.wav", 2.0);
        WriteWav(dir_ / "short.wav", 0.3);
        std::ofstream(dir_ / "bad.mp3") << "this is no audio";
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    void SetUp() override {
        ResetPlayerState();
        g.volume = 0.5f;
        g.volumePercent = 50;
        PaintImage(kVolumeDotImage, 5, 5, RGB(0, 200, 255));
        PaintImage(kSpeakerLitImage, 14, 16, RGB(255, 255, 0));
        CreateTopWindow(kMainWindow, 0, 0, 600, 400, "Плеер", 7);
        CreateImageControl(kSpeaker, 116, 92, 14, 16, 0);
        CreateImageControl(kSeekBar, 225, 174, 259, 12, 0);
        for (int dot = 401; dot <= 410; ++dot)
            CreateImageControl(dot, 139 + 8 * (dot - 401), 98, 5, 5,
                               dot <= 405 ? NativeImageHandle(kVolumeDotImage) : 0);
        CreateContainer(kTrackPanel, 105, 240, 390, 150);
        CreateListControl(kTrackList, -2, -2, 415, 155);
        CreateTextLabel(kFolderLabel, 0, 0, 0, 0, "Путь", 0);
        EndContainer();
        CreateContainer(kStationPanel, 105, 240, 390, 0);
        CreateListControl(kStationList, -2, -2, 415, 155);
        EndContainer();
        CreateTextLabel(kInfoLine, 230, 115, 250, 10, "", 1);
        CreateCheckBox(kAutoAdvanceBox, 0, 0, 0, 0, "");
        SetWindowVisible(kMainWindow, 1);
        CreateTopWindow(kMiniWindow, 0, 0, 225, 52, "мини", 7);
        CreateTextLabel(kMiniVolumeLabel, 207, 35, 15, 10, "50", 0);
        CreateImageControl(kMiniVolumeBar, 100, 37, 100, 8, 0);
        SetWindowVisible(kMiniWindow, 1);
        while (PollNextEvent()) {
        }
    }

    void TearDown() override {
        BASS_StreamFree(g.streamHandle);
        CloseTopWindow(kMainWindow);
        CloseTopWindow(kMiniWindow);
    }

    static void ListFolder(const std::vector<std::string> &names) {
        SetControlText(kFolderLabel, dir_.string() + "/");
        ClearListItems(kTrackList);
        for (const auto &n : names)
            AddListItem(kTrackList, -1, n);
        g.trackCount = static_cast<int>(names.size());
    }

    static void PointAt(int window, int x, int y) {
        const ScreenRect r = ControlScreenRect(
            NativeControlHandle(window == kMainWindow ? kSeekBar : kMiniVolumeBar));
        const int originX = r.left - (window == kMainWindow ? 225 : 100);
        const int originY = r.top - (window == kMainWindow ? 174 : 37);
        QCursor::setPos(originX + x, originY + y);
        QCoreApplication::processEvents();
    }

    static void PaintImage(int slot, int w, int h, Colour colour) {
        CreateBlankImage(slot, w, h);
        BeginDrawing(ImageDrawingTarget(slot));
        FillBox(0, 0, w, h, colour);
        EndDrawing();
    }

    static QImage MainWindowPixels() {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->windowTitle() == QStringLiteral("Плеер")) return w->grab().toImage();
        return {};
    }

    static constexpr QRgb kLitDot = qRgb(0, 200, 255), kLitSpeaker = qRgb(255, 255, 0);
    static fs::path dir_;
};
fs::path Controller::dir_;

TEST_F(Controller, PlaySelectedTrack_PlaysFolderPlusSelectionAndArmsAutoAdvance) {
    ListFolder({"a.wav", "b.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    EXPECT_NE(g.streamHandle, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PLAYING);
    // The ID3v1 block's title in place of the name, its artist in the information line.
    EXPECT_EQ(g.marqueeText, "Title A");
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 1);
    EXPECT_EQ(GetControlText(kInfoLine), "Artist A");
    EXPECT_EQ(g.currentTitle, "Title A");
}

// What the last station or file put there is not this file's.
TEST_F(Controller, PlaySelectedTrack_FileWithoutTag_NameShownInfoLineCleared) {
    ListFolder({"a.wav", "b.wav"});
    SetControlText(kInfoLine, "Radio One");
    SetControlValue(kTrackList, 1);
    PlaySelectedTrack();
    EXPECT_NE(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "b.wav");
    EXPECT_EQ(GetControlText(kInfoLine), "");
}

TEST_F(Controller, PlaySelectedTrack_BeforeAnyFolder_TriesThePlaceholderAndFails) {
    PlaySelectedTrack();
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "Путь");
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 1);
}

TEST_F(Controller, PlaySelectedTrack_EmptyPath_ReleasesTheStreamAndStops) {
    ListFolder({"a.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    const auto old = g.streamHandle;
    ASSERT_NE(old, 0u);
    SetControlValue(kAutoAdvanceBox, 0);
    SetControlText(kFolderLabel, "");
    SetControlValue(kTrackList, -1);
    PlaySelectedTrack();
    EXPECT_EQ(g.marqueeText, "");
    EXPECT_EQ(g.streamHandle, old);  // keeps the released handle
    EXPECT_EQ(BASS_ChannelIsActive(old), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 0);
}

TEST_F(Controller, OpenTrackFile_EmptyPath_TrackKeepsPlayingListKept) {
    ListFolder({"a.wav", "b.wav"});
    SetControlValue(kTrackList, 1);
    PlaySelectedTrack();
    const auto playing = g.streamHandle;
    ASSERT_NE(playing, 0u);
    OpenTrackFile("");  // what a cancelled dialog hands on
    EXPECT_EQ(g.streamHandle, playing);
    EXPECT_EQ(BASS_ChannelIsActive(playing), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(GetControlText(kFolderLabel), dir_.string() + "/");
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    EXPECT_EQ(g.trackCount, 2);
    AutoAdvance();  // nothing ended: auto-advance starts nothing either
    EXPECT_EQ(g.streamHandle, playing);
}

TEST_F(Controller, StepTrack_BothEndsOfTheList) {
    ListFolder({"a.wav", "b.wav"});
    SetControlValue(kTrackList, -1);
    StepTrack(-1);  // nothing selected: previous does nothing
    EXPECT_EQ(GetControlValue(kTrackList), -1);
    EXPECT_EQ(g.streamHandle, 0u);
    StepTrack(+1);  // nothing selected: next plays the first track
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    EXPECT_EQ(g.marqueeText, "Title A");
    StepTrack(-1);  // on the first track: nothing
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    StepTrack(+1);
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    const auto last = g.streamHandle;
    StepTrack(+1);  // on the last track: nothing
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    EXPECT_EQ(g.streamHandle, last);
    EXPECT_EQ(g.trackIndex, 2);
}

TEST_F(Controller, TogglePause_CarriedOverToTheNextTrack) {
    ListFolder({"a.wav", "b.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    TogglePause();
    EXPECT_EQ(g.paused, 1);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PAUSED);
    StepTrack(+1);  // the new track plays, the flag stays
    EXPECT_EQ(g.paused, 1);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PLAYING);
    TogglePause();  // resumes: no audible change
    EXPECT_EQ(g.paused, 0);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PLAYING);
    TogglePause();
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PAUSED);
}

TEST_F(Controller, SeekToClick_OffsetTimesLengthOver259) {
    EXPECT_EQ(SeekBytesForOffset(100, 352800), 100 * (352800 / 259));
    ListFolder({"a.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    BASS_ChannelPause(g.streamHandle);
    // No refresh tick has run: the command asks the engine for the length itself.
    const std::int32_t length =
        static_cast<std::int32_t>(BASS_ChannelGetLength(g.streamHandle, BASS_POS_BYTE));
    ASSERT_GT(length, 0);
    PointAt(kMainWindow, 225 + 100, 180);
    SeekToClick();
    EXPECT_EQ(g.streamLengthBytes, length);
    // The engine lands on the frame that holds the byte asked for.
    const double asked = SeekBytesForOffset(100, length);
    EXPECT_NEAR(static_cast<double>(BASS_ChannelGetPosition(g.streamHandle, BASS_POS_BYTE)), asked,
                4.0);
}

TEST_F(Controller, SeekToClick_UnknownLength_SendsZero) {
    EXPECT_EQ(SeekBytesForOffset(200, -1), 0);
    PointAt(kMainWindow, 225 + 200, 180);
    SeekToClick();  // no stream: the length is all bits set
    EXPECT_EQ(g.streamLengthBytes, -1);
}

// The dots and the mini window's number show one volume whichever window set it.
TEST_F(Controller, SetVolumeStep_DotsVolumeSpeakerAndMiniLabel) {
    SetVolumeStep(408);
    EXPECT_FLOAT_EQ(g.volume, VolumeGain(80));
    EXPECT_EQ(g.volumePercent, 80);
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "80");
    const QImage shown = MainWindowPixels();
    for (int dot = 401; dot <= 410; ++dot)
        EXPECT_EQ(shown.pixel(139 + 8 * (dot - 401) + 2, 100) == kLitDot, dot <= 408) << dot;
    EXPECT_EQ(shown.pixel(116 + 7, 92 + 8), kLitSpeaker);
    SetVolumeStep(401);
    EXPECT_FLOAT_EQ(g.volume, VolumeGain(10));
    EXPECT_EQ(g.volumePercent, 10);
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "10");
}

TEST_F(Controller, SetVolumeFromMiniBar_PercentFromPointer_NearestDotLitLast) {
    PointAt(kMiniWindow, 150, 40);
    SetVolumeFromMiniBar();
    EXPECT_EQ(g.volumePercent, 50);
    EXPECT_FLOAT_EQ(g.volume, VolumeGain(50));
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "50");
    for (auto [x, lastLit] : {std::pair{173, 407}, {134, 403}, {135, 404}, {104, 400}}) {
        PointAt(kMiniWindow, x, 40);
        SetVolumeFromMiniBar();
        EXPECT_EQ(g.volumePercent, x - 100);
        EXPECT_EQ(GetControlText(kMiniVolumeLabel), std::to_string(x - 100));
        const QImage shown = MainWindowPixels();
        for (int dot = 401; dot <= 410; ++dot)
            EXPECT_EQ(shown.pixel(139 + 8 * (dot - 401) + 2, 100) == kLitDot, dot <= lastLit)
                << x << " dot " << dot;
    }
}

TEST_F(Controller, SetVolumeFromMiniBar_PointerOutside_ClampedToZero) {
    PointAt(kMiniWindow, 400, 400);  // outside the mini window: the query answers -1
    SetVolumeFromMiniBar();
    EXPECT_EQ(g.volumePercent, 0);
    EXPECT_FLOAT_EQ(g.volume, 0.0f);
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "0");
}

TEST_F(Controller, TrackThatDoesNotPlay_SaysWhyBeforeItsName) {
    std::ofstream(dir_ / "notes.mp3") << "not a sound";
    ListFolder({"notes.mp3", "gone.mp3", "a.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "Не звуковой файл: notes.mp3");
    SetControlValue(kTrackList, 1);  // listed, then removed
    PlaySelectedTrack();
    EXPECT_EQ(g.marqueeText, "Файл не открывается: gone.mp3");
    SetControlValue(kTrackList, 2);
    PlaySelectedTrack();
    EXPECT_NE(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "Title A");
}

TEST_F(Controller, AutoAdvance_NotArmed_DoesNothing) {
    ListFolder({"bad.mp3", "a.wav"});
    SetControlValue(kTrackList, 0);
    AutoAdvance();
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    EXPECT_EQ(g.streamHandle, 0u);
}

// Each file that does not play shows why for a while (its moment moved to the past here),
// then the next follows.
TEST_F(Controller, AutoAdvance_SkipsUnplayableFilesOnePerTurnEachShownFirst) {
    ListFolder({"bad.mp3", "bad.mp3", "a.wav", "b.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "Не звуковой файл: bad.mp3");
    AutoAdvance();
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    EXPECT_EQ(g.marqueeText, "Не звуковой файл: bad.mp3");
    g.failedTrackShownUntilMs = 1;
    AutoAdvance();
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    EXPECT_EQ(g.streamHandle, 0u);
    AutoAdvance();
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    g.failedTrackShownUntilMs = 1;
    AutoAdvance();
    EXPECT_EQ(GetControlValue(kTrackList), 2);
    EXPECT_NE(g.streamHandle, 0u);
    AutoAdvance();  // the track plays: no step
    EXPECT_EQ(GetControlValue(kTrackList), 2);
}

TEST_F(Controller, AutoAdvance_TrackEnds_NextPlays_LastStays) {
    ListFolder({"short.wav", "short.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    QElapsedTimer clock;
    clock.start();
    while (GetControlValue(kTrackList) == 0 && clock.elapsed() < 3000) {
        AutoAdvance();
        QThread::msleep(10);
    }
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    while (BASS_ChannelIsActive(g.streamHandle) != 0 && clock.elapsed() < 6000)
        QThread::msleep(10);
    AutoAdvance();  // after the last item nothing more happens
    EXPECT_EQ(GetControlValue(kTrackList), 1);
}

TEST_F(Controller, ActivateStation_NoSelection_DoesNothing) {
    g.stations.entries = {{"http://127.0.0.1:1/none", "Station"}};
    AddListItem(kStationList, -1, "Station");
    SetControlText(kInfoLine, "before");
    ActivateStation();
    EXPECT_EQ(GetControlText(kInfoLine), "before");
    EXPECT_EQ(g.stationUrl, "");
    EXPECT_EQ(g.streamHandle, 0u);
}

TEST_F(Controller, ActivateStation_ShowsTitle_UnreachableAddressEndsWithoutWaiting) {
    g.stations.entries = {{"http://127.0.0.1:1/a", "Первая"}, {"http://127.0.0.1:1/b", ""}};
    AddListItem(kStationList, -1, "Первая");
    AddListItem(kStationList, -1, "");
    SetControlValue(kStationList, 0);
    // The station connects in the background. (The engine loads with the first stream,
    // which is not what is timed here.)
    BASS_StreamFree(BASS_StreamCreateURL("http://127.0.0.1:1/warm", 0, 0, nullptr, nullptr));
    QElapsedTimer timer;
    timer.start();
    PlayStation("http://127.0.0.1:1/a");
    EXPECT_LT(timer.elapsed(), 50);
    ActivateStation();
    EXPECT_EQ(g.stations.current, 0);
    EXPECT_EQ(g.stationUrl, "http://127.0.0.1:1/a");
    EXPECT_EQ(GetControlText(kInfoLine), "Первая");
    // Refused: the stream ends at once and nothing plays.
    while (BASS_ChannelIsActive(g.streamHandle) != BASS_ACTIVE_STOPPED && timer.elapsed() < 2000)
        QThread::msleep(10);
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NONET);
    SetControlValue(kStationList, 1);
    ActivateStation();  // a station without a title goes by its address
    EXPECT_EQ(GetControlText(kInfoLine), "http://127.0.0.1:1/b");
}

TEST_F(Controller, StationThatFailsWhileATrackPlayed_StartsNoTrack) {
    ListFolder({"a.wav", "b.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    ASSERT_NE(g.streamHandle, 0u);
    PlayStation("http://127.0.0.1:1/refused");
    const HSTREAM station = g.streamHandle;
    QElapsedTimer timer;
    timer.start();
    while (BASS_ChannelIsActive(station) != BASS_ACTIVE_STOPPED && timer.elapsed() < 2000)
        QThread::msleep(10);
    ASSERT_EQ(BASS_ChannelIsActive(station), BASS_ACTIVE_STOPPED);
    AutoAdvance();
    EXPECT_EQ(g.streamHandle, station);
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    // The play button starts the folder again, and with it auto-advance.
    PlaySelectedTrack();
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 1);
}

TEST_F(Controller, StepVolume_WholeStepsWithinSilenceAndFull_SeekBySecondsWithinTheTrack) {
    SetVolumePercent(47);  // between steps: from the nearest one
    StepVolume(+1);
    EXPECT_EQ(g.volumePercent, 60);
    StepVolume(+20);
    EXPECT_EQ(g.volumePercent, 100);
    StepVolume(-30);
    EXPECT_EQ(g.volumePercent, 0);
    EXPECT_FALSE(SeekBySeconds(5));  // nothing plays
    ListFolder({"a.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    EXPECT_TRUE(SeekBySeconds(-5));  // before the start: the start
    EXPECT_LT(PlaybackPositionMicroseconds(), 300000);
    EXPECT_TRUE(SeekBySeconds(60));  // past the end: the end
    EXPECT_GT(PlaybackPositionMicroseconds(), 1800000);
}

// Ten even steps in loudness: 4.5 dB from dot to dot, full at the tenth, silence at none.
TEST_F(Controller, VolumeGain_EvenStepsInDecibels_SilenceAtZero) {
    EXPECT_FLOAT_EQ(VolumeGain(100), 1.0f);
    EXPECT_FLOAT_EQ(VolumeGain(0), 0.0f);
    EXPECT_FLOAT_EQ(VolumeGain(-5), 0.0f);
    EXPECT_FLOAT_EQ(VolumeGain(250), 1.0f);
    for (int step = 1; step < 10; ++step)
        EXPECT_NEAR(20 * std::log10(VolumeGain(step * 10 + 10) / VolumeGain(step * 10)), 4.5, 1e-4);
    EXPECT_NEAR(20 * std::log10(VolumeGain(10)), -40.5, 1e-4);
    for (int percent = 1; percent < 100; ++percent)
        EXPECT_LT(VolumeGain(percent), VolumeGain(percent + 1));
}

TEST_F(Controller, ToggleMute_SilenceThenTheVolumeFromBefore) {
    SetVolumePercent(70);
    ToggleMute();
    EXPECT_EQ(g.volumePercent, 0);
    EXPECT_FLOAT_EQ(g.volume, 0.0f);
    ToggleMute();
    EXPECT_EQ(g.volumePercent, 70);
    // A volume set while muted ends the mute: the speaker then mutes that one.
    ToggleMute();
    SetVolumePercent(40);
    ToggleMute();
    EXPECT_EQ(g.volumePercent, 0);
    ToggleMute();
    EXPECT_EQ(g.volumePercent, 40);
    SetVolumePercent(0);  // silent by the dots: the speaker has nothing to bring back
    ToggleMute();
    EXPECT_EQ(g.volumePercent, 0);
}

TEST_F(Controller, Equaliser_KeyStepsThroughThePresetsAndBackToOff_NamesInRussian) {
    EXPECT_EQ(g.equaliserPreset, 0);
    std::vector<std::string> names;
    for (int i = 0; i < static_cast<int>(BASS_EQ_PRESET_COUNT); ++i) {
        NextEqualiserPreset();
        names.push_back(EqualiserPresetName(g.equaliserPreset));
    }
    EXPECT_EQ(g.equaliserPreset, 0);
    EXPECT_EQ(names.front(), "Эквалайзер: басы");
    EXPECT_EQ(names.back(), "Эквалайзер выключен");
    SetEqualiserPreset(99);  // a remembered preset this build does not know: off
    EXPECT_EQ(g.equaliserPreset, 0);
    EXPECT_EQ(EqualiserPresetName(-3), "Эквалайзер выключен");
}

// --- A music collection: a root of albums, tags, files from elsewhere ---------------------

class Collection : public Controller {
  protected:
    void SetUp() override {
        Controller::SetUp();
        root_ = (dir_ / ("root-" + std::to_string(counter_++))).string() + "/";
        fs::create_directories(root_ + "A");
        fs::create_directories(root_ + "B");
        fs::copy_file(dir_ / "short.wav", root_ + "A/01.wav");
        ASSERT_TRUE(testmedia::Ffmpeg((dir_ / "short.wav").string(),
                                      "-c:a flac -metadata title=Звезда -metadata artist=Кино "
                                      "-metadata album='Группа крови' -metadata track=7",
                                      root_ + "B/02.flac"));
        std::ofstream(root_ + "cover.jpg") << "\xFF\xD8\xFF not really";
    }
    std::string root_;
    static int counter_;
};
int Collection::counter_ = 0;

TEST_F(Collection, FilePickedInARootOfAlbums_AlbumsListed_ItSaysWhyAndNothingElseStarts) {
    OpenTrackFile(root_ + "cover.jpg");
    EXPECT_EQ(GetControlText(kFolderLabel), root_);
    ASSERT_EQ(g.trackCount, 2);
    EXPECT_EQ(GetControlValue(kTrackList), -1);
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "Не звуковой файл: cover.jpg");
    g.failedTrackShownUntilMs = 1;
    AutoAdvance();  // it was no track of the list: nothing follows it
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(GetControlValue(kTrackList), -1);
    // The label and an item together name the file, in a sub-folder too.
    SetControlValue(kTrackList, 1);
    EXPECT_EQ(GetControlText(kTrackList), "B/02.flac");
    PlaySelectedTrack();
    EXPECT_NE(g.streamHandle, 0u);
    EXPECT_EQ(g.streamAddress, root_ + "B/02.flac");
}

TEST_F(Collection, TaggedTrack_TitleScrollsArtistAndAlbumBelow) {
    OpenTrackFile(root_ + "B/02.flac");
    EXPECT_EQ(GetControlText(kFolderLabel), root_ + "B/");  // its folder holds tracks itself
    EXPECT_EQ(GetControlText(kTrackList), "02.flac");
    ASSERT_NE(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "Звезда");
    EXPECT_EQ(GetControlText(kInfoLine), "Кино — Группа крови");
    EXPECT_EQ(g.tagTrackNumber, 7);
    // The next file has no tags: nothing of these stays.
    OpenTrackFile(root_ + "A/01.wav");
    EXPECT_EQ(g.marqueeText, "01.wav");
    EXPECT_EQ(GetControlText(kInfoLine), "");
    EXPECT_EQ(g.tagTitle, "");
    EXPECT_EQ(g.tagTrackNumber, 0);
}

TEST_F(Collection, FileTheListDoesNotHold_PlaysItselfAndNothingFollowsIt) {
    // A WAV under a name that is no track's: the engine plays it all the same.
    fs::copy_file(dir_ / "short.wav", root_ + "A/sound.data");
    OpenTrackFile(root_ + "A/sound.data");
    EXPECT_EQ(ListItems(kTrackList), std::vector<std::string>{"01.wav"});
    EXPECT_EQ(GetControlValue(kTrackList), -1);
    ASSERT_NE(g.streamHandle, 0u);
    EXPECT_EQ(g.streamAddress, root_ + "A/sound.data");
    EXPECT_EQ(g.marqueeText, "sound.data");
    QElapsedTimer clock;
    clock.start();
    while (BASS_ChannelIsActive(g.streamHandle) != BASS_ACTIVE_STOPPED && clock.elapsed() < 5000)
        QThread::msleep(10);
    AutoAdvance();
    EXPECT_EQ(g.streamAddress, root_ + "A/sound.data");  // the folder's track did not start
}

TEST_F(Collection, ListWithSubFolders_ATrackOfAnAlbumSelectedByItsPath) {
    ListTrackFolder(root_, true);
    EXPECT_EQ(g.trackSubFolders, 1);
    g.chosenFilePath = root_ + "B/02.flac";
    SelectChosenTrack();
    EXPECT_EQ(g.chosenFileName, "B/02.flac");
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    ListTrackFolder(root_, false);  // the root holds no track itself
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(g.trackSubFolders, 0);
}

}  // namespace
