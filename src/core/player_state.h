// The player's one record of run-time state. Every module of the player reads and writes its
// fields directly, on the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One radio station of the station list file.
struct StationEntry {
    std::string address;  // stream address handed to the audio engine
    std::string title;    // may be empty
};

// The stations in file order, with a current-entry cursor (-1: none).
struct StationList {
    std::vector<StationEntry> entries;
    int current = -1;

    // Makes entry i current when it exists; otherwise leaves no current entry.
    void Select(int i);
    const StationEntry *Current() const;
};

struct PlayerState {
    float marqueeStep = 0;
    float marqueeX = 0;
    std::uint32_t streamHandle = 0;
    std::string marqueeText;
    std::string chosenFilePath;
    std::int32_t trackCount = 0;
    std::int32_t trackIndex = 0;
    std::int32_t streamLengthBytes = 0;
    std::int32_t spectrumLastBar = 0;
    std::int32_t barWidth = 0;
    std::int32_t barHeight = 0;
    std::uint32_t barColour = 0;  // red + 256 * green + 65536 * blue
    float volume = 0;
    std::int32_t volumePercent = 0;
    std::string stationUrl;
    std::string stationGroup;
    std::int32_t stationPanelClosed = 0;
    std::int32_t trackPanelClosed = 0;
    std::string currentTitle;
    std::int32_t mouseX = 0;
    std::int32_t barTop = 0;
    std::int32_t barGap = 0;
    std::int32_t eventKind = 0;
    std::int32_t eventWindow = 0;
    std::string lastSecondText;
    std::int32_t miniMode = 0;
    std::string chosenFileName;
    std::int32_t paused = 0;
    std::int32_t closeHover = 0;
    std::int32_t playHover = 0;
    std::int32_t prevHover = 0;
    std::int32_t openHover = 0;
    std::int32_t nextHover = 0;
    std::int32_t pauseHover = 0;
    std::int32_t plHover = 0;
    std::int32_t fmHover = 0;
    std::int32_t minimiseHover = 0;
    std::int32_t restoreHover = 0;
    std::int32_t repeatHover = 0;
    std::int32_t equaliserHover = 0;
    StationList stations;
    // Why the current station does not play, when its creation already failed (the engine's
    // error code; 0 otherwise). Later failures are asked of the engine on every tick.
    std::int32_t stationError = 0;
    // The scrolling line shows a station's failure in place of marqueeBeforeFailure.
    std::int32_t marqueeShowsFailure = 0;
    std::string marqueeBeforeFailure;
    // The station file named on the command line; empty: radio.pls is looked for.
    std::string stationFile;

    // Beyond the desktop player's own fields: what the desktop's media controls and the
    // remembered state need to know about the current stream.
    std::uint64_t streamSerial = 0;         // counts the streams started; names the current one
    std::int32_t lastStreamWasStation = 0;  // 1 when the last stream started was a station
    std::string streamAddress;              // its file path or station address
    std::string streamTitle;                // the title the stream streamTitleSerial sent last
    std::uint64_t streamTitleSerial = 0;    // 0: no stream has sent a title

    // The track list holds the tracks of label 12's sub-folders too (a music root of albums).
    std::int32_t trackSubFolders = 0;
    // When the list holds a folder's own tracks: the folder's modification time (ns) as it
    // was before it was listed, 0 when that cannot vouch for the list (see ScanTrackFolder).
    std::int64_t listedFolderStamp = 0;
    // What the current file's tags say (UTF-8, empty: none), read when it started, and the
    // file of its cover (empty: none).
    std::string tagTitle, tagArtist, tagAlbum;
    std::int32_t tagTrackNumber = 0;
    std::string coverFile;
    // A file that did not play shows why until this moment (steady clock, milliseconds);
    // auto-advance goes on after it. 0: no such file.
    std::int64_t failedTrackShownUntilMs = 0;

    // The next track, made ready before the current one ends so that auto-advance joins the
    // two without a gap (src/control/next_track.cpp). Not the current stream until
    // PlaySelectedTrack takes it.
    std::uint32_t nextStreamHandle = 0;  // 0: none (or its file did not play)
    std::uint32_t nextStreamAfter = 0;   // the current stream it was made ready for
    std::string nextStreamPath;          // its file; empty: nothing made ready

    // While the seek bar's knob is dragged (1), where it is (microseconds of the track).
    std::int32_t seekDragging = 0;
    std::int64_t seekDragMicroseconds = 0;
    // What the clock shows (0: the time of day, 1: the track's elapsed time, 2: its remaining
    // time) and the text it last drew in the track modes.
    std::int32_t clockMode = 0;
    std::string clockText;
    // The order of the track list: repeat (0 off, 1 the list, 2 the track), shuffle (1 on),
    // and the shuffled round with the place in it of the track that plays.
    std::int32_t repeat = 0;
    std::int32_t shuffle = 0;
    std::vector<std::int32_t> shuffleOrder;
    std::int32_t shuffleCursor = -1;
    // 1 from a station's start until its first sound: the scrolling line says that it
    // connects, and the desktop is not told that it plays.
    std::int32_t stationConnecting = 0;
    // The volume before the speaker muted it; 0: not muted.
    std::int32_t mutedVolumePercent = 0;
    // The name the current station gave itself (icy-name) when it has no title of its own;
    // empty until it does.
    std::string stationOwnName;
    // The equaliser's preset (0: off).
    std::int32_t equaliserPreset = 0;
};

extern PlayerState g;

// The name the current station goes by: its title, else the name it gave itself, else its
// address.
std::string CurrentStationName();
// Puts a message of the player in the scrolling line, also in place of a station's failure
// shown there: the failure, while it lasts, comes back over it at the next tick.
void ShowMarqueeMessage(const std::string &text);
// Zero-fills the record (every field 0, empty text, empty station list).
void ResetPlayerState();
