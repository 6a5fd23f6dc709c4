// The keys of either window, the station panel's editing keys and drops, driven through the
// event loop with simulated input as the window system delivers it; the user's own station
// list written after each change and read back; the list in use remembered.
#include <unistd.h>

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "audio_engine.h"
#include "background_writer.h"
#include "desktop_service.h"
#include "key_events.h"
#include "playback_controller.h"
#include "player_fixture.h"
#include "player_memory.h"
#include "saved_state.h"
#include "station_list.h"
#include "station_list_control.h"

namespace fs = std::filesystem;

namespace {

class KeysAndStations : public PlayerTest {
  protected:
    void SetUp() override {
        // The user's own list goes to a folder of the test's.
        dir_ = fs::temp_directory_path() / ("volnar-keys-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
        const char *old = std::getenv("XDG_CONFIG_HOME");
        oldConfig_ = old ? old : "";
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        PlayerTest::SetUp();
        SetStateFilePath("");
        g.stationGroup = "Всё подряд";
        g.stations.entries = {{"http://127.0.0.1:1/a", "Первая"},
                              {"http://127.0.0.1:1/b", "Вторая"}};
        FillStationListControl();
        ASSERT_TRUE(RunTurns(50));
    }
    void TearDown() override {
        FinishSavedStateWrites();
        PlayerTest::TearDown();
        setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
        fs::remove_all(dir_);
    }

    static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    int window = kMainWindow) {
        QTest::keyClick(WindowOf(window), key, modifiers);
    }

    std::string UserList() const { return (dir_ / "config" / "volnar" / "radio.pls").string(); }

    // The stations of the user's list on the disk, once every write has ended.
    std::vector<StationEntry> WrittenStations() const {
        FinishSavedStateWrites();
        std::vector<StationEntry> stations;
        EXPECT_TRUE(ReadStationListFile(UserList(), "Всё подряд", &stations));
        return stations;
    }

    static std::vector<std::string> Addresses(const std::vector<StationEntry> &stations) {
        std::vector<std::string> addresses;
        for (const StationEntry &station : stations)
            addresses.push_back(station.address);
        return addresses;
    }

    static void Drop(QMimeData *data, int control) {
        auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(kMainWindow));
        const QPoint at = CentreOf(kMainWindow, control);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &drop);
    }

    fs::path dir_;
    std::string oldConfig_;
};

using AddressList = std::vector<std::string>;

TEST_F(KeysAndStations, ClassicKeys_PlayPauseStepStopVolume) {
    FillTrackList(3, 0);
    Key(Qt::Key_X);  // play: the selected track
    ASSERT_TRUE(RunTurnsUntil([] { return BASS_ChannelIsActive(g.streamHandle) != 0; }));
    Key(Qt::Key_B);  // next
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    Key(Qt::Key_Z);  // previous
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    Key(Qt::Key_Space);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PAUSED);
    Key(Qt::Key_C);  // pause again: it resumes
    ASSERT_TRUE(RunTurns());
    EXPECT_NE(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PAUSED);
    Key(Qt::Key_C);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PAUSED);
    Key(Qt::Key_V);  // stop
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.streamHandle, 0u);

    SetVolumePercent(50);
    Key(Qt::Key_Up);
    Key(Qt::Key_Up, Qt::NoModifier, kMiniWindow);  // either window
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.volumePercent, 70);
    for (int i = 0; i < 9; ++i)
        Key(Qt::Key_Down);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.volumePercent, 0);
}

TEST_F(KeysAndStations, ArrowsSeekFiveSeconds_WithinTheTrack) {
    FillTrackList(1, 0);
    Key(Qt::Key_X);
    ASSERT_TRUE(RunTurnsUntil([] { return BASS_ChannelIsActive(g.streamHandle) != 0; }));
    Key(Qt::Key_Right);  // the 3 s track: to its end at most
    ASSERT_TRUE(RunTurns(50));
    EXPECT_GE(PlaybackPositionMicroseconds(), 2'000'000);
    Key(Qt::Key_Left);
    ASSERT_TRUE(RunTurns(50));
    EXPECT_LT(PlaybackPositionMicroseconds(), 1'000'000);
}

TEST_F(KeysAndStations, PanelsMiniWindowAndEnd) {
    Key(Qt::Key_F);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.stationPanelClosed, 0);
    Key(Qt::Key_P);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.stationPanelClosed, 1);
    EXPECT_EQ(g.trackPanelClosed, 0);
    Key(Qt::Key_Escape);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.trackPanelClosed, 1);
    Key(Qt::Key_M);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.miniMode, 1);
    Key(Qt::Key_M, Qt::NoModifier, kMiniWindow);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.miniMode, 0);
    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(RunTurns());
}

TEST_F(KeysAndStations, OpenList_ArrowsMoveTheFocusedListsSelection_EnterPlaysIt) {
    Key(Qt::Key_F);
    ASSERT_TRUE(RunTurns());
    Click(kStationList);  // the focus goes to the list
    ASSERT_TRUE(RunTurns());
    ASSERT_TRUE(ControlHasFocus(kStationList));
    SetControlValue(kStationList, 0);
    SetVolumePercent(50);
    Key(Qt::Key_Down);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(GetControlValue(kStationList), 1);
    EXPECT_EQ(g.volumePercent, 50);
    Key(Qt::Key_Return);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/b");
    EXPECT_EQ(g.lastStreamWasStation, 1);
}

TEST_F(KeysAndStations, StationPanel_PasteDeleteMove_EachChangeWrittenToTheUsersList) {
    Key(Qt::Key_F);
    ASSERT_TRUE(RunTurns());
    QGuiApplication::clipboard()->setText(QStringLiteral("  \nhttp://127.0.0.1:1/new \nrest"));
    Key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(RunTurns());
    // Added at the end, selected, playing; the list in use is now the user's own.
    EXPECT_EQ(GetControlValue(kStationList), 2);
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/new");
    EXPECT_EQ(g.stationFile, UserList());
    EXPECT_EQ(
        Addresses(WrittenStations()),
        (AddressList{"http://127.0.0.1:1/a", "http://127.0.0.1:1/b", "http://127.0.0.1:1/new"}));
    EXPECT_EQ(WrittenStations()[0].title, "Первая");

    Key(Qt::Key_Up, Qt::AltModifier);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(GetControlValue(kStationList), 1);
    EXPECT_EQ(
        Addresses(WrittenStations()),
        (AddressList{"http://127.0.0.1:1/a", "http://127.0.0.1:1/new", "http://127.0.0.1:1/b"}));

    SetControlValue(kStationList, 0);
    Key(Qt::Key_Delete);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(GetControlValue(kStationList), 0);
    EXPECT_EQ(Addresses(WrittenStations()),
              (AddressList{"http://127.0.0.1:1/new", "http://127.0.0.1:1/b"}));
    // What plays goes on; the cursor keeps naming it.
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/new");
    ASSERT_NE(g.stations.Current(), nullptr);
    EXPECT_EQ(g.stations.Current()->address, "http://127.0.0.1:1/new");

    // No address on the clipboard: nothing added, the line says so (the failing station
    // stopped first, whose reason would take the line back at the next tick).
    Key(Qt::Key_V);
    QGuiApplication::clipboard()->setText(QStringLiteral("ftp://x/"));
    Key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.stations.entries.size(), 2u);
    EXPECT_EQ(g.marqueeText, "В буфере обмена нет адреса станции");
}

TEST_F(KeysAndStations, StationFromOutside_PlayedByPaste_KeptByCtrlS) {
    QGuiApplication::clipboard()->setText(QStringLiteral("http://127.0.0.1:1/outside"));
    Key(Qt::Key_V, Qt::ControlModifier);  // the panel is closed: it only plays
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/outside");
    EXPECT_EQ(g.stations.entries.size(), 2u);
    EXPECT_FALSE(fs::exists(UserList()));
    Key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(Addresses(WrittenStations()),
              (AddressList{"http://127.0.0.1:1/a", "http://127.0.0.1:1/b",
                           "http://127.0.0.1:1/outside"}));
    EXPECT_EQ(GetControlValue(kStationList), 2);
    Key(Qt::Key_S, Qt::ControlModifier);  // kept once
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.stations.entries.size(), 3u);
}

TEST_F(KeysAndStations, ListThatCannotBeWritten_SaysSo_ListKept) {
    // The config home is a file: no folder can be made in it.
    std::ofstream(dir_ / "not-a-folder") << "x";
    setenv("XDG_CONFIG_HOME", (dir_ / "not-a-folder").c_str(), 1);
    Key(Qt::Key_F);
    ASSERT_TRUE(RunTurns());
    SetControlValue(kStationList, 1);
    Key(Qt::Key_Delete);
    ASSERT_TRUE(
        RunTurnsUntil([] { return g.marqueeText.rfind("Список станций не записан", 0) == 0; }));
    EXPECT_EQ(g.stations.entries.size(), 1u);
}

TEST_F(KeysAndStations, Drops_AListFileOpensAndPlays_AnAddressOnThePanelIsAdded) {
    const fs::path list = dir_ / "site.m3u";
    std::ofstream(list) << "#EXTM3U\n#EXTINF:-1,Сайт\nhttp://127.0.0.1:1/site\n";
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(QString::fromStdString(list.string()))});
    Drop(&file, kSpeaker);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.stationFile, list.string());
    EXPECT_EQ(g.stationPanelClosed, 0);
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/site");
    EXPECT_EQ(GetControlText(kInfoLine), "Сайт");

    QMimeData address;
    address.setText(QStringLiteral("http://127.0.0.1:1/dropped"));
    Drop(&address, kStationList);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/dropped");
    // The opened file stays as it was: the change went to the user's own list.
    EXPECT_EQ(Addresses(WrittenStations()),
              (AddressList{"http://127.0.0.1:1/site", "http://127.0.0.1:1/dropped"}));
    std::vector<StationEntry> opened;
    ASSERT_TRUE(ReadStationListFile(list.string(), "Всё подряд", &opened));
    EXPECT_EQ(opened.size(), 1u);

    // An address dropped elsewhere plays without joining the list.
    QMimeData other;
    other.setText(QStringLiteral("https://127.0.0.1:1/elsewhere"));
    Drop(&other, kSpeaker);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.streamAddress, "https://127.0.0.1:1/elsewhere");
    EXPECT_EQ(g.stations.entries.size(), 2u);
}

TEST_F(KeysAndStations, ListInUse_Remembered_ShownAgainAtTheNextStart) {
    const fs::path list = dir_ / "site.xspf";
    std::ofstream(list) << "<playlist><trackList><track><location>http://127.0.0.1:1/x</location>"
                           "<title>Икс</title></track></trackList></playlist>";
    ASSERT_TRUE(OpenStationListFile(list.string()));
    const SavedState state = GatherSavedState();
    EXPECT_EQ(state.stationList, list.string());
    EXPECT_EQ(ParseSavedState(FormatSavedState(state)), state);

    // The next start, with nothing named on its command line.
    g.stationFile.clear();
    g.stations.entries.clear();
    FillStationListControl();
    ApplySavedState(state);
    ASSERT_EQ(g.stations.entries.size(), 1u);
    EXPECT_EQ(g.stations.entries[0].title, "Икс");
    EXPECT_EQ(g.stationFile, list.string());
}

TEST_F(KeysAndStations, Station_ConnectingUntilItsFirstSound_NotPlayingForTheDesktop) {
    FillTrackList(1, 0);
    PlaySelectedTrack();
    g.tagArtist = "Исполнитель";
    SetControlText(kInfoLine, "Исполнитель");
    // Nothing answers on port 9: it never gets past connecting.
    PlayAddress("http://127.0.0.1:9/live");
    EXPECT_EQ(g.marqueeText, "Соединение… http://127.0.0.1:9/live");
    EXPECT_EQ(GetControlText(kInfoLine), "http://127.0.0.1:9/live");
    EXPECT_TRUE(g.tagArtist.empty());
    EXPECT_EQ(g.stationConnecting, 1);
    EXPECT_EQ(DescribePlayer().status, BusPlaybackStatus::kStopped);
    EXPECT_EQ(DescribePlayer().artist, "");
}

}  // namespace
