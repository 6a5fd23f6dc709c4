// The player's side of the desktop bus. The commands run here, between two turns of the
// event loop, through the same functions the buttons use.
#include "desktop_service.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>

#include "audio_engine.h"
#include "command_line.h"
#include "control_numbers.h"
#include "play_order.h"
#include "play_order_look.h"
#include "playback_controller.h"
#include "player_state.h"
#include "station_formats.h"
#include "station_list_file.h"
#include "stream_title.h"
#include "text_encoding.h"
#include "track_folder.h"
#include "track_names.h"
#include "widgets.h"

namespace {

volatile std::sig_atomic_t g_endRequested = 0;

void RequestEnd(int) {
    g_endRequested = 1;
}

// A file path as a "file://" address: every byte outside the unreserved set and "/" escaped.
std::string FileAddress(const std::string &path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string address = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("-._~/", c) != nullptr) {
            address += c;
        } else {
            address += '%';
            address += kHex[byte >> 4];
            address += kHex[byte & 15];
        }
    }
    return address;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(const std::string &text, const char *prefix) {
    const std::size_t length = std::strlen(prefix);
    return text.size() >= length && strncasecmp(text.c_str(), prefix, length) == 0;
}

bool IsFolder(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Lists a folder and selects its first track, playing nothing.
void ListFolder(std::string folder) {
    if (folder.back() != '/') folder += '/';
    g.chosenFilePath = folder;
    ListTrackFolder(folder, true);
    SetControlValue(kTrackList, g.trackCount > 0 ? 0 : -1);
}

void RaiseWindowInUse() {
    RaiseTopWindow(g.miniMode == 1 ? kMiniWindow : kMainWindow);
}

}  // namespace

bool OpenLocation(const std::string &location) {
    if (IsStationAddress(location)) {
        PlayAddress(location);
        return true;
    }
    const std::string path = PathOfFileAddress(location);
    if (path.empty()) return false;
    if (IsFolder(path)) {
        ListFolder(path);
        return true;
    }
    if (!IsFile(path)) return false;
    if (IsStationListFileName(path)) {
        OpenStationListAndPlay(path);
        return true;
    }
    OpenTrackFile(path);
    return true;
}

namespace {

void SeekBy(std::int64_t offset) {
    const std::int64_t length = PlaybackLengthMicroseconds();
    if (length < 0) return;
    const std::int64_t position = std::max<std::int64_t>(PlaybackPositionMicroseconds(), 0);
    const std::int64_t target = offset > length - position ? length + 1 : position + offset;
    // Beyond the end means the next track, as the interface asks.
    if (target > length) {
        StepTrack(+1);
        return;
    }
    if (SeekToMicroseconds(std::max<std::int64_t>(target, 0)))
        PublishSeeked(std::max<std::int64_t>(target, 0));
}

void SetPosition(std::uint64_t track, std::int64_t position) {
    if (track != g.streamSerial) return;
    const std::int64_t length = PlaybackLengthMicroseconds();
    if (length < 0 || position > length) return;
    if (SeekToMicroseconds(position)) PublishSeeked(position);
}

std::int64_t PositionForBus() {
    return g.streamHandle == 0 ? 0 : PlaybackPositionMicroseconds();
}

}  // namespace

void AnnounceSeek() {
    if (PlaybackLengthMicroseconds() >= 0) PublishSeeked(PlaybackPositionMicroseconds());
}

void EndOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = RequestEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool EndRequested() {
    return g_endRequested != 0;
}

bool IsStationAddress(const std::string &text) {
    return StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://");
}

std::string PathOfFileAddress(const std::string &address) {
    if (!address.empty() && address.front() == '/') return address;
    // Only local files: "file:///path" or "file://localhost/path".
    std::string rest;
    if (StartsWithNoCase(address, "file:///")) {
        rest = address.substr(7);
    } else if (StartsWithNoCase(address, "file://localhost/")) {
        rest = address.substr(16);
    } else {
        return {};
    }
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
            HexValue(rest[i + 2]) >= 0) {
            path += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    // A path with a zero byte names no file.
    if (path.find('\0') != std::string::npos) return {};
    return path;
}

BusPlayerView DescribePlayer() {
    BusPlayerView view;
    view.volume = g.volumePercent / 100.0;
    view.loop = g.repeat;
    view.shuffle = g.shuffle == 1;
    if (g.streamHandle == 0) return view;
    switch (BASS_ChannelIsActive(g.streamHandle)) {
        case BASS_ACTIVE_PLAYING:
        case BASS_ACTIVE_STALLED: {
            // A station plays from its first sound on, not while it connects.
            const bool connecting = g.lastStreamWasStation == 1 && g.stationConnecting == 1;
            view.status = connecting ? BusPlaybackStatus::kStopped : BusPlaybackStatus::kPlaying;
            break;
        }
        case BASS_ACTIVE_PAUSED:
            view.status = BusPlaybackStatus::kPaused;
            break;
        default:
            view.status = BusPlaybackStatus::kStopped;
            break;
    }
    view.trackNumber = g.streamSerial;
    if (g.lastStreamWasStation == 1) {
        // The title the station sent for this stream, "Artist - Title" as its two parts;
        // until it sends one, its name. The station's name stands as the album.
        const bool titled = g.streamTitleSerial == g.streamSerial && !g.streamTitle.empty();
        const std::string name = CurrentStationName();
        std::string artist, title = titled ? g.streamTitle : name;
        if (titled) SplitStreamTitle(g.streamTitle, &artist, &title);
        view.title = DisplayTextToUtf8(title);
        view.artist = DisplayTextToUtf8(artist);
        view.album = DisplayTextToUtf8(name);
        view.url = g.streamAddress;
    } else {
        view.title = DisplayTextToUtf8(g.tagTitle.empty() ? NamePart(g.streamAddress) : g.tagTitle);
        view.artist = DisplayTextToUtf8(g.tagArtist);
        view.album = DisplayTextToUtf8(g.tagAlbum);
        view.albumTrackNumber = g.tagTrackNumber;
        if (!g.coverFile.empty()) view.artUrl = FileAddress(g.coverFile);
        view.url = FileAddress(g.streamAddress);
        view.lengthMicroseconds = PlaybackLengthMicroseconds();
        view.canSeek = view.lengthMicroseconds > 0;
    }
    return view;
}

BusStart ConnectDesktopBus() {
    BusPlayerQueries queries;
    queries.describe = DescribePlayer;
    queries.positionMicroseconds = PositionForBus;
    // A Quit ends the player at its next loop turn, which an open dialog would hold up.
    queries.quitQueued = CancelFileChooser;
    return StartDesktopBus(queries);
}

bool RunDesktopCommands() {
    BusCommand command;
    while (TakeDesktopCommand(&command)) {
        switch (command.kind) {
            case BusCommandKind::kRaise:
                RaiseWindowInUse();
                break;
            case BusCommandKind::kQuit:
                return false;
            case BusCommandKind::kPlay:
                Play();
                break;
            case BusCommandKind::kPause:
                PausePlayback();
                break;
            case BusCommandKind::kPlayPause:
                PlayOrPause();
                break;
            case BusCommandKind::kStop:
                StopPlayback();
                break;
            case BusCommandKind::kNext:
                StepTrack(+1);
                break;
            case BusCommandKind::kPrevious:
                StepTrack(-1);
                break;
            case BusCommandKind::kSeekBy:
                SeekBy(command.microseconds);
                break;
            case BusCommandKind::kSetPosition:
                SetPosition(command.trackNumber, command.microseconds);
                break;
            case BusCommandKind::kOpenUri:
                OpenLocation(command.text);
                break;
            case BusCommandKind::kSetLoop:
                SetRepeat(static_cast<int>(command.trackNumber));
                ShowRepeatChange();
                break;
            case BusCommandKind::kSetShuffle:
                SetShuffle(command.trackNumber == 1, GetControlValue(kTrackList));
                ShowShuffleChange();
                break;
            case BusCommandKind::kSetVolume:
                if (std::isfinite(command.volume))
                    SetVolumePercent(
                        static_cast<int>(std::lrint(std::clamp(command.volume, 0.0, 1.0) * 100)));
                break;
            case BusCommandKind::kHandArguments:
                HandleForwardedArguments(command.text, command.arguments);
                break;
        }
    }
    return true;
}

void HandleForwardedArguments(const std::string &folder,
                              const std::vector<std::string> &arguments) {
    // The starting side has answered --help and errors itself; what fails here (a file
    // removed in between) opens nothing.
    const CommandLine commandLine = ReadCommandLine(arguments, folder.empty() ? "/" : folder);
    if (commandLine.action == CommandLine::Action::kStart) OpenFromCommandLine(commandLine);
    RaiseWindowInUse();
}
