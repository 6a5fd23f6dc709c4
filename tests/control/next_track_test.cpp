// The next track made ready before the current one ends, and taken by auto-advance: on the
// real engine (SDL's dummy driver) and widget layer (offscreen), with WAV files of the test.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <vector>

#include "audio_engine.h"
#include "control_numbers.h"
#include "next_track.h"
#include "playback_controller.h"
#include "player_state.h"
#include "test_media.h"
#include "widgets.h"

namespace fs = std::filesystem;

namespace {

void WriteTrack(const fs::path &path, double seconds, const std::string &artist = "") {
    testmedia::WriteWav(path, 44100, 2, testmedia::SampleKind::kInt16,
                        testmedia::Sine(440, seconds, 44100, 2, 0.25));
    if (artist.empty()) return;
    std::vector<std::uint8_t> bytes = testmedia::ReadBytes(path);
    std::uint8_t tag[128] = {'T', 'A', 'G'};
    artist.copy(reinterpret_cast<char *>(tag) + 33, 30);
    bytes.insert(bytes.end(), tag, tag + sizeof tag);
    testmedia::WriteBytes(path, bytes);
}

bool Freed(HSTREAM handle) {
    return BASS_ChannelGetLength(handle, BASS_POS_BYTE) == ~QWORD{0};
}

class NextTrack : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        dir_ = fs::temp_directory_path() / ("volnar-next-track-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        WriteTrack(dir_ / "one.wav", 0.6, "First");
        WriteTrack(dir_ / "two.wav", 0.6, "Second");
        WriteTrack(dir_ / "three.wav", 0.6, "Third");
        WriteTrack(dir_ / "long.wav", 10.0);
        testmedia::WriteBytes(dir_ / "bad.mp3", {'n', 'o', ' ', 'a', 'u', 'd', 'i', 'o'});
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    void SetUp() override {
        ResetPlayerState();
        g.volume = 0.5f;
        CreateTopWindow(kMainWindow, 0, 0, 600, 400, "Плеер", 7);
        CreateListControl(kTrackList, 0, 0, 415, 155);
        CreateTextLabel(kFolderLabel, 0, 0, 0, 0, "Путь", 0);
        CreateTextLabel(kInfoLine, 230, 115, 250, 10, "", 1);
        CreateCheckBox(kAutoAdvanceBox, 0, 0, 0, 0, "");
        SetControlValue(kAutoAdvanceBox, 0);
    }
    void TearDown() override {
        StopPlayback();
        AutoAdvance();  // frees what was made ready
        CloseTopWindow(kMainWindow);
    }

    static void ListFolder(const std::vector<std::string> &names) {
        SetControlText(kFolderLabel, dir_.string() + "/");
        ClearListItems(kTrackList);
        for (const auto &n : names)
            AddListItem(kTrackList, -1, n);
        g.trackCount = static_cast<int>(names.size());
    }
    static std::string Path(const std::string &name) { return (dir_ / name).string(); }

    static inline fs::path dir_;
};

// What the player showed when a new stream became the current one.
struct Change {
    std::uint64_t serial;
    int selected;
    std::string marquee, address, infoLine;
    bool tookReadyStream;  // the stream made ready before the turn became the current one
    DWORD readyActivity;   // what that stream was doing before the turn
};

TEST_F(NextTrack, TrackEnds_ReadyStreamAlreadyPlayingIsTaken_InListOrder) {
    ListFolder({"one.wav", "two.wav", "three.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    std::vector<Change> changes{{g.streamSerial, 0, g.marqueeText, g.streamAddress,
                                 GetControlText(kInfoLine), false, BASS_ACTIVE_STOPPED}};
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 &&
           (GetControlValue(kTrackList) < 2 || BASS_ChannelIsActive(g.streamHandle) != 0)) {
        const HSTREAM ready = g.nextStreamHandle;
        const DWORD readyActivity = BASS_ChannelIsActive(ready);
        const std::uint64_t serial = g.streamSerial;
        AutoAdvance();
        if (g.streamSerial != serial)
            changes.push_back({g.streamSerial, GetControlValue(kTrackList), g.marqueeText,
                               g.streamAddress, GetControlText(kInfoLine),
                               ready != 0 && g.streamHandle == ready, readyActivity});
        QThread::msleep(5);
    }
    ASSERT_EQ(changes.size(), 3u);
    const char *names[] = {"one.wav", "two.wav", "three.wav"};
    const char *artists[] = {"First", "Second", "Third"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(changes[i].serial, static_cast<std::uint64_t>(i + 1));
        EXPECT_EQ(changes[i].selected, i);
        EXPECT_EQ(changes[i].marquee, names[i]);
        EXPECT_EQ(changes[i].address, Path(names[i]));
        EXPECT_EQ(changes[i].infoLine, artists[i]);
        if (i > 0) {
            // Started by the engine at the end of the one before, not by the controller.
            EXPECT_TRUE(changes[i].tookReadyStream);
            EXPECT_EQ(changes[i].readyActivity, BASS_ACTIVE_PLAYING);
        }
    }
    // After the last item nothing follows and nothing is made ready.
    AutoAdvance();
    EXPECT_EQ(GetControlValue(kTrackList), 2);
    EXPECT_EQ(g.streamSerial, 3u);
    EXPECT_EQ(g.nextStreamHandle, 0u);
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 1);
}

TEST_F(NextTrack, OtherChoiceOrStop_ReadyStreamFreed_NeverHeard) {
    ListFolder({"one.wav", "two.wav", "three.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    AutoAdvance();  // 0.6 s left: the next one is made ready at once, and waits
    HSTREAM ready = g.nextStreamHandle;
    ASSERT_NE(ready, 0u);
    EXPECT_EQ(g.nextStreamPath, Path("two.wav"));
    EXPECT_EQ(BASS_ChannelIsActive(ready), BASS_ACTIVE_STOPPED);
    // Another item selected: what follows is another track.
    SetControlValue(kTrackList, 1);
    AutoAdvance();
    EXPECT_TRUE(Freed(ready));
    EXPECT_EQ(g.nextStreamPath, Path("three.wav"));
    ready = g.nextStreamHandle;
    // The user plays a track: made anew, the ready one freed (it was never heard).
    SetControlValue(kTrackList, 2);
    PlaySelectedTrack();
    EXPECT_TRUE(Freed(ready));
    EXPECT_NE(g.streamHandle, ready);
    EXPECT_EQ(g.nextStreamPath, "");
    AutoAdvance();  // the last item: nothing follows
    EXPECT_EQ(g.nextStreamHandle, 0u);
    // Stopped: the ready stream goes at the next turn and none is made again.
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    AutoAdvance();
    ready = g.nextStreamHandle;
    ASSERT_NE(ready, 0u);
    StopPlayback();
    AutoAdvance();
    EXPECT_TRUE(Freed(ready));
    EXPECT_EQ(g.nextStreamHandle, 0u);
    EXPECT_EQ(g.nextStreamPath, "");
}

TEST_F(NextTrack, MadeReadyOnlyNearTheEnd_SeekBackFreesIt) {
    ListFolder({"long.wav", "one.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    AutoAdvance();
    EXPECT_EQ(g.nextStreamPath, "");  // 10 s left
    ASSERT_TRUE(SeekToMicroseconds(6'000'000));
    AutoAdvance();
    const HSTREAM ready = g.nextStreamHandle;
    ASSERT_NE(ready, 0u);
    ASSERT_TRUE(SeekToMicroseconds(1'000'000));
    AutoAdvance();
    EXPECT_TRUE(Freed(ready));
    EXPECT_EQ(g.nextStreamPath, "");
}

TEST_F(NextTrack, NextFileDoesNotPlay_ItsTurnSaysWhyAsBefore) {
    ListFolder({"one.wav", "bad.mp3", "two.wav"});
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    AutoAdvance();
    EXPECT_EQ(g.nextStreamPath, Path("bad.mp3"));  // tried once, not at every turn
    EXPECT_EQ(g.nextStreamHandle, 0u);
    QElapsedTimer clock;
    clock.start();
    while (GetControlValue(kTrackList) == 0 && clock.elapsed() < 3000) {
        AutoAdvance();
        QThread::msleep(5);
    }
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(g.marqueeText, "Не звуковой файл: bad.mp3");
    g.failedTrackShownUntilMs = 1;  // its reason was shown long enough
    AutoAdvance();
    EXPECT_EQ(GetControlValue(kTrackList), 2);
    EXPECT_NE(g.streamHandle, 0u);
}

}  // namespace
