// The remembered state on the real windows: what a state shows at start-up, what is gathered
// back, and when the file is written.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "background_writer.h"
#include "playback_controller.h"
#include "player_fixture.h"
#include "player_memory.h"

namespace fs = std::filesystem;

namespace {

class PlayerMemory : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        dir_ = fs::temp_directory_path() / ("volnar-memory-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "music");
        for (const char *name : {"a.wav", "b.wav", "c.wav"})
            testmedia::WriteWav(dir_ / "music" / name, 44100, 2, testmedia::SampleKind::kInt16,
                                testmedia::Sine(440, 1.0, 44100, 2, 0.3));
        g.stations.entries = {{"http://127.0.0.1:1/a", "Первая"},
                              {"http://127.0.0.1:1/b", "Вторая"}};
        ClearListItems(kStationList);
        AddListItem(kStationList, -1, "Первая");
        AddListItem(kStationList, -1, "Вторая");
        SetStateFilePath("");
    }
    void TearDown() override {
        SetStateFilePath("");
        fs::remove_all(dir_);
        PlayerTest::TearDown();
    }

    static int PanelHeight(int panel) {
        const ScreenRect r = ControlScreenRect(NativeControlHandle(panel));
        return r.bottom - r.top;
    }
    static std::string Read(const fs::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    SavedState Good() const {
        SavedState s;
        s.volumePercent = 80;
        s.trackFolder = (dir_ / "music").string() + "/";
        s.trackName = "b.wav";
        s.lastSource = SavedSource::kStation;
        s.stationAddress = "http://127.0.0.1:1/b";
        s.stationIndex = 1;
        s.mainWindow = SavedPoint{30, 40};
        s.miniWindow = SavedPoint{300, 200};
        s.miniMode = true;
        s.panel = SavedPanel::kStations;
        return s;
    }

    fs::path dir_;
};

TEST_F(PlayerMemory, AGoodState_IsShownAndGatheredBackUnchanged_NothingPlays) {
    const SavedState s = Good();
    ApplySavedState(s);
    EXPECT_EQ(g.volumePercent, 80);
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "80");
    EXPECT_EQ(g.trackCount, 3);
    EXPECT_EQ(GetControlText(kTrackList), "b.wav");
    EXPECT_EQ(GetControlValue(kStationList), 1);
    EXPECT_EQ(g.stationUrl, "http://127.0.0.1:1/b");
    EXPECT_EQ(g.currentTitle, "Вторая");
    EXPECT_EQ(g.lastStreamWasStation, 1);
    EXPECT_EQ(g.stationPanelClosed, 0);
    EXPECT_EQ(PanelHeight(kStationPanel), 150);
    EXPECT_EQ(PanelHeight(kTrackPanel), 0);
    EXPECT_EQ(g.miniMode, 1);
    EXPECT_EQ(WindowPosition(kMainWindow).x, 30);
    EXPECT_EQ(WindowPosition(kMiniWindow).y, 200);
    EXPECT_EQ(g.streamHandle, 0u);
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 0);
    EXPECT_EQ(GatherSavedState(), s);
}

TEST_F(PlayerMemory, WhatNoLongerExists_KeepsTheDefaults) {
    SavedState s = Good();
    s.trackFolder = (dir_ / "gone").string() + "/";
    s.stationAddress = "http://127.0.0.1:1/removed";
    s.stationIndex = 1;                        // the row now holds another station
    s.mainWindow = SavedPoint{-99000, 99000};  // a screen no longer there
    const ScreenPoint centred = WindowPosition(kMainWindow);
    ApplySavedState(s);
    EXPECT_EQ(GetControlText(kFolderLabel), "Путь");
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(GetControlValue(kStationList), -1);
    EXPECT_EQ(g.stationUrl, "http://127.0.0.1:1/removed");  // Play still finds it
    EXPECT_EQ(WindowPosition(kMainWindow).x, centred.x);
    EXPECT_EQ(WindowPosition(kMainWindow).y, centred.y);

    // A picked track that is gone: the folder is listed, nothing selected.
    s = Good();
    s.trackName = "deleted.wav";
    s.stationIndex = 5;  // beyond the list: the address decides
    ApplySavedState(s);
    EXPECT_EQ(g.trackCount, 3);
    EXPECT_EQ(GetControlValue(kTrackList), -1);
    EXPECT_EQ(GetControlValue(kStationList), 1);
}

TEST_F(PlayerMemory, AnEmptyState_ChangesNothing) {
    ApplySavedState(SavedState{});
    EXPECT_EQ(g.volumePercent, 50);
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "50");
    EXPECT_EQ(g.stationPanelClosed, 1);
    EXPECT_EQ(g.trackPanelClosed, 1);
    EXPECT_EQ(g.miniMode, 0);
    EXPECT_EQ(g.lastStreamWasStation, 0);
}

TEST_F(PlayerMemory, Writes_AtOnceThenAtMostEveryTenSeconds_AndAtTheEnd) {
    const fs::path path = dir_ / "state" / "volnar" / "state.ini";
    SetStateFilePath(path.string());
    RememberIfChanged();       // the first change after a quiet time is written at once
    FinishSavedStateWrites();  // (on the writer's thread)
    ASSERT_TRUE(fs::exists(path));
    EXPECT_NE(Read(path).find("volume=50\n"), std::string::npos);
    SetVolumePercent(20);
    RememberIfChanged();  // within 10 s of the last write: due, not written
    KeepStateFileCurrent();
    FinishSavedStateWrites();
    EXPECT_NE(Read(path).find("volume=50\n"), std::string::npos);
    RememberNow();
    EXPECT_NE(Read(path).find("volume=20\n"), std::string::npos);
}

TEST_F(PlayerMemory, AFolderThatCannotBeWritten_LeavesThePlayerWorking) {
    std::ofstream(dir_ / "file") << "x";
    SetStateFilePath((dir_ / "file" / "volnar" / "state.ini").string());
    RememberIfChanged();
    RememberNow();
    EXPECT_EQ(Read(dir_ / "file"), "x");
    EXPECT_TRUE(RunTurns(100));
}

}  // namespace
