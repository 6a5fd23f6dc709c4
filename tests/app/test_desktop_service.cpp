// The player's side of the desktop bus: what the desktop is shown, the queued commands run
// between loop turns, and a later start's arguments.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "audio_engine.h"
#include "desktop_service.h"
#include "mpris_adaptors.h"
#include "playback_controller.h"
#include "player_fixture.h"

namespace {

using DesktopService = PlayerTest;

void Queue(BusCommandKind kind, double volume = 0.0, std::vector<std::string> arguments = {}) {
    BusCommand command;
    command.kind = kind;
    command.volume = volume;
    command.arguments = std::move(arguments);
    QueueBusCommand(std::move(command));
}

TEST_F(DesktopService, Describe_NothingPlaying_StoppedWithoutTrack) {
    const BusPlayerView view = DescribePlayer();
    EXPECT_EQ(view.status, BusPlaybackStatus::kStopped);
    EXPECT_EQ(view.trackNumber, 0u);
    EXPECT_DOUBLE_EQ(view.volume, 0.5);
    EXPECT_EQ(MetadataOf(view).value("mpris:trackid").value<QDBusObjectPath>().path(),
              QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

TEST_F(DesktopService, Describe_AFile_NameAddressLengthAndStatus) {
    FillTrackList(2, 1);
    PlaySelectedTrack();
    BusPlayerView view = DescribePlayer();
    EXPECT_EQ(view.status, BusPlaybackStatus::kPlaying);
    EXPECT_EQ(view.title, "t1.wav");
    EXPECT_EQ(view.url.rfind("file:///", 0), 0u);
    EXPECT_EQ(view.url.substr(view.url.size() - 7), "/t1.wav");
    EXPECT_EQ(view.lengthMicroseconds, 3000000);
    EXPECT_TRUE(view.canSeek);
    EXPECT_EQ(TrackObjectPath(view.trackNumber),
              "/org/volnar/Track/" + std::to_string(g.streamSerial));
    TogglePause();
    EXPECT_EQ(DescribePlayer().status, BusPlaybackStatus::kPaused);
}

TEST_F(DesktopService, Describe_AStationsTitleBelongsToItsStream_ANewStationStartsWithoutIt) {
    // A station as the controller leaves it (no server needed to see the naming rule).
    g.streamHandle = 1;  // any non-zero handle: the engine answers "stopped" for it
    g.lastStreamWasStation = 1;
    g.streamSerial = 7;
    g.streamAddress = "http://127.0.0.1:1/a";
    g.currentTitle = "Станция А";
    EXPECT_EQ(DescribePlayer().title, "Станция А");
    EXPECT_EQ(DescribePlayer().artist, "");
    EXPECT_EQ(DescribePlayer().album, "Станция А");
    EXPECT_EQ(DescribePlayer().lengthMicroseconds, -1);
    EXPECT_FALSE(DescribePlayer().canSeek);
    g.streamTitle = "Песня";
    g.streamTitleSerial = 7;
    EXPECT_EQ(DescribePlayer().title, "Песня");
    // "Artist - Title" as its two parts; the station stays the album.
    g.streamTitle = "Кино - Группа крови";
    EXPECT_EQ(DescribePlayer().artist, "Кино");
    EXPECT_EQ(DescribePlayer().title, "Группа крови");
    EXPECT_EQ(DescribePlayer().album, "Станция А");
    g.streamTitle = " - Песня - ";
    EXPECT_EQ(DescribePlayer().artist, "");
    EXPECT_EQ(DescribePlayer().title, " - Песня - ");
    // The next station: the last one's song is not its title.
    g.streamSerial = 8;
    g.streamAddress = "http://127.0.0.1:1/b";
    g.currentTitle = "";
    EXPECT_EQ(DescribePlayer().title, "http://127.0.0.1:1/b");
    // A title in Windows-1251 reaches the desktop as UTF-8.
    g.streamTitle = "\xcf\xe5\xf1\xed\xff";
    g.streamTitleSerial = 8;
    EXPECT_EQ(DescribePlayer().title, "Песня");
    g.streamHandle = 0;
}

TEST_F(DesktopService, QueuedCommands_RunOnTheNextTurn_QuitEndsTheLoop) {
    FillTrackList(3, 0);
    Queue(BusCommandKind::kPlay);
    Queue(BusCommandKind::kNext);
    Queue(BusCommandKind::kSetVolume, 0.3);
    EXPECT_TRUE(DesktopCommandsWaiting());
    ASSERT_TRUE(RunTurns(100));
    EXPECT_FALSE(DesktopCommandsWaiting());
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    EXPECT_EQ(g.volumePercent, 30);
    EXPECT_EQ(GetControlText(kMiniVolumeLabel), "30");
    Queue(BusCommandKind::kSetVolume, std::nan(""));  // ignored
    Queue(BusCommandKind::kSetVolume, 7.5);           // clamped
    ASSERT_TRUE(RunTurns(100));
    EXPECT_EQ(g.volumePercent, 100);
    Queue(BusCommandKind::kQuit);
    EXPECT_FALSE(RunTurns(500));
}

// A start that hands its file to a player told to quit would lose it: once Quit is queued
// nothing more is taken, so the later start is refused and runs a player of its own.
TEST_F(DesktopService, AfterQuitIsQueued_NothingMoreIsTaken_AHandOverIsRefused) {
    BusCommand quit;
    quit.kind = BusCommandKind::kQuit;
    EXPECT_TRUE(QueueBusCommand(quit));
    BusCommand handOver;
    handOver.kind = BusCommandKind::kHandArguments;
    handOver.arguments = {"/music/a.mp3"};
    EXPECT_FALSE(QueueBusCommand(handOver));
    BusCommand play;
    play.kind = BusCommandKind::kPlay;
    EXPECT_FALSE(QueueBusCommand(play));
    EXPECT_FALSE(RunTurns(500));  // the Quit ends the loop
    EXPECT_FALSE(DesktopCommandsWaiting());
    // Taken, the Quit no longer blocks the queue (a player that goes on runs later commands).
    EXPECT_TRUE(QueueBusCommand(play));
}

TEST_F(DesktopService, FullQueue_RefusesTheCommandsBeyondIt) {
    BusCommand play;
    play.kind = BusCommandKind::kPlay;
    int taken = 0;
    while (taken < 1000 && QueueBusCommand(play))
        ++taken;
    EXPECT_EQ(taken, 256);
    ASSERT_TRUE(RunTurns(300));
    EXPECT_TRUE(QueueBusCommand(play));
}

TEST_F(DesktopService, ForwardedCommandLine_MeansWhatItMeansAtStart_RelativeToItsFolder) {
    FillTrackList(3, 2);
    const std::string folder = GetControlText(kFolderLabel);
    // A line the starting side would have refused opens nothing.
    HandleForwardedArguments("/", {"--unknown", folder + "t1.wav"});
    EXPECT_EQ(GetControlValue(kTrackList), 2);
    EXPECT_EQ(g.streamHandle, 0u);

    // A file named relative to the folder the later start ran in plays.
    HandleForwardedArguments(folder, {"t1.wav"});
    EXPECT_EQ(GetControlValue(kTrackList), 1);
    EXPECT_EQ(g.trackCount, 3);
    EXPECT_EQ(g.streamAddress, folder + "t1.wav");
    EXPECT_EQ(BASS_ChannelIsActive(g.streamHandle), BASS_ACTIVE_PLAYING);

    // A station list named alone becomes the list in use, and its first station plays.
    std::ofstream(folder + "other.m3u") << "#EXTM3U\n#EXTINF:-1,Игрек\nhttp://127.0.0.1:1/y\n";
    HandleForwardedArguments(folder, {"other.m3u"});
    ASSERT_EQ(g.stations.entries.size(), 1u);
    EXPECT_EQ(g.stations.entries[0].address, "http://127.0.0.1:1/y");
    EXPECT_EQ(g.stationFile, folder + "other.m3u");
    EXPECT_EQ(GetControlValue(kStationList), 0);
    EXPECT_EQ(g.streamAddress, "http://127.0.0.1:1/y");
    EXPECT_EQ(g.lastStreamWasStation, 1);
    EXPECT_EQ(g.stationPanelClosed, 0);
    // Beside a file to play it is only the list in use.
    std::ofstream(folder + "more.pls") << "[playlist]\nFile1=http://127.0.0.1:1/z\n";
    HandleForwardedArguments(folder, {"t1.wav", "more.pls"});
    EXPECT_EQ(g.streamAddress, folder + "t1.wav");
    ASSERT_EQ(g.stations.entries.size(), 1u);
    EXPECT_EQ(g.stations.entries[0].address, "http://127.0.0.1:1/z");

    StopPlayback();
    HandleForwardedArguments("/", {folder});  // a folder: listed, first track selected
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    EXPECT_EQ(g.streamHandle, 0u);

    HandleForwardedArguments("/", {"https://127.0.0.1:1/x"});
    EXPECT_EQ(g.stationUrl, "https://127.0.0.1:1/x");
    EXPECT_EQ(g.lastStreamWasStation, 1);
}

TEST(DesktopAddresses, FileAddressesArePercentDecoded_OtherSchemesAreNotFiles) {
    EXPECT_EQ(PathOfFileAddress("file:///home/u/a%20b%D0%AF.mp3"), "/home/u/a bЯ.mp3");
    EXPECT_EQ(PathOfFileAddress("FILE://localhost/x%2"), "/x%2");
    EXPECT_EQ(PathOfFileAddress("/plain/path"), "/plain/path");
    EXPECT_EQ(PathOfFileAddress("file://otherhost/x"), "");
    EXPECT_EQ(PathOfFileAddress("file:///a%00b"), "");
    EXPECT_EQ(PathOfFileAddress("ftp://h/x"), "");
    EXPECT_EQ(PathOfFileAddress("relative"), "");
    EXPECT_TRUE(IsStationAddress("https://x"));
    EXPECT_TRUE(IsStationAddress("HtTp://x"));
    EXPECT_FALSE(IsStationAddress("http:/x"));
    EXPECT_FALSE(IsStationAddress("rtsp://x"));
}

}  // namespace
