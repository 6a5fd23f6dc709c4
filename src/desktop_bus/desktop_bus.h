// The player on the desktop's session bus: the MPRIS 2 service through which media keys,
// panels, lock screens and phone tools see and steer the player, and the hand-over of a
// second start's arguments to the player that already runs.
//
// Everything here runs on the user-interface thread. Qt delivers the bus's calls only while
// the widget layer processes events (its waits, polls, the window drag, the file dialog),
// that is in the middle of whatever the player is doing there; so a call never runs a
// command itself. It queues one, and the player takes the queue at its next loop turn.
// Property reads only look at the last published view (and ask for the position).
//
// Without a session bus every function does nothing and the player runs as before.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class BusPlaybackStatus { kStopped, kPlaying, kPaused };

// What the player shows now, as the desktop is to see it.
struct BusPlayerView {
    BusPlaybackStatus status = BusPlaybackStatus::kStopped;
    std::uint64_t trackNumber = 0;         // a new number for every new stream; 0: none
    std::string title;                     // UTF-8
    std::string artist;                    // empty: none
    std::string album;                     // empty: none
    int albumTrackNumber = 0;              // the track's number in its album; 0: none
    std::string artUrl;                    // a file:// address of its cover; empty: none
    std::string url;                       // empty: none
    std::int64_t lengthMicroseconds = -1;  // -1: unknown (a station)
    double volume = 0.0;                   // 0.0 to 1.0
    bool canSeek = false;
    int loop = 0;  // 0: none, 1: the whole list, 2: the one track
    bool shuffle = false;

    bool operator==(const BusPlayerView &) const = default;
};

enum class BusCommandKind {
    kRaise,
    kQuit,
    kPlay,
    kPause,
    kPlayPause,
    kStop,
    kNext,
    kPrevious,
    kSeekBy,         // microseconds: offset
    kSetPosition,    // microseconds: position; trackNumber: the track it is meant for
    kOpenUri,        // text: the address
    kSetVolume,      // volume
    kSetLoop,        // trackNumber: 0 none, 1 the list, 2 the track
    kSetShuffle,     // trackNumber: 1 on, 0 off
    kHandArguments,  // arguments: a later start's command line; text: the folder it ran in
};

struct BusCommand {
    BusCommandKind kind = BusCommandKind::kRaise;
    std::int64_t microseconds = 0;
    std::uint64_t trackNumber = 0;
    double volume = 0.0;
    std::string text;
    std::vector<std::string> arguments;
};

// What the service asks of the player. Both are called on the user-interface thread, from
// inside the widget layer's event processing, and must not change the player's state.
struct BusPlayerQueries {
    BusPlayerView (*describe)() = nullptr;
    std::int64_t (*positionMicroseconds)() = nullptr;  // -1: none
    // Called when a Quit is queued, also while the player waits inside a dialog (whose end
    // would otherwise hold the Quit up). Must: only ask what waits to end, run no command.
    void (*quitQueued)() = nullptr;
};

enum class BusStart {
    kServing,          // the player's names are ours
    kOtherPlayerRuns,  // another player holds them: hand the arguments over and end
    kNoBus,            // no session bus (or it refused): run without the service
};

// Connects to the session bus and claims the player's names (org.mpris.MediaPlayer2.volnar).
BusStart StartDesktopBus(const BusPlayerQueries &queries);
// Hands a start's arguments, and the folder relative names in them are taken from, to the
// player that holds the names; true once it took them.
bool HandArgumentsToRunningPlayer(const std::string &folder,
                                  const std::vector<std::string> &arguments);
// Releases the names and the connection (also when the service never started).
void StopDesktopBus();

// True while the queue holds a command; a plain read, cheap enough for every loop turn.
bool DesktopCommandsWaiting();
// Takes the oldest queued command; false when there is none.
bool TakeDesktopCommand(BusCommand *command);

// Compares what the player shows now with what the desktop was last told and announces the
// difference (PropertiesChanged). Cheap when nothing changed; the player calls it after
// every command and whenever a stream's title changes.
void PublishPlayerView();
// Announces that the position jumped (Seeked).
void PublishSeeked(std::int64_t positionMicroseconds);

// The object path of a track number (mpris:trackid); NoTrack for 0.
std::string TrackObjectPath(std::uint64_t trackNumber);
