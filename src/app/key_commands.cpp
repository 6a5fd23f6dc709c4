// The keys, as README's "Using it" lists them:
//   Space play/pause; z previous, x play, c pause, v stop, b next; Left/Right 5 s back and
//   forward; Up/Down one volume step; Ctrl+O the open dialog; F and P the station and track
//   panels; M the mini window; Escape closes an open panel; Ctrl+Q ends the player.
//   In an open list that has the keyboard focus, Up/Down, Page Up/Down, Home and End move
//   its selection and Enter plays the selected item.
//   In the station panel: Ctrl+V adds the address on the clipboard and plays it, Delete
//   removes the selected station, Alt+Up/Alt+Down move it. Ctrl+S keeps a station played
//   from an address outside the list. Ctrl+V outside the panel plays the address.
#include "key_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "audio_engine.h"
#include "clipboard.h"
#include "control_numbers.h"
#include "desktop_service.h"
#include "event_loop.h"
#include "key_events.h"
#include "open_dialog.h"
#include "playback_controller.h"
#include "player_state.h"
#include "station_formats.h"
#include "station_list_control.h"
#include "station_list_file.h"
#include "widgets.h"

namespace {

constexpr int kSeekStepSeconds = 5;
constexpr int kPageRows = 10;

bool StationPanelOpen() {
    return g.miniMode == 0 && g.stationPanelClosed == 0;
}

bool TrackPanelOpen() {
    return g.miniMode == 0 && g.trackPanelClosed == 0;
}

void PauseOrResume() {
    if (BASS_ChannelIsActive(g.streamHandle) == BASS_ACTIVE_PAUSED)
        Play();
    else
        PausePlayback();
}

// The list of the open panel when it has the keyboard focus; -1 otherwise.
int FocusedOpenList() {
    if (TrackPanelOpen() && ControlHasFocus(kTrackList)) return kTrackList;
    if (StationPanelOpen() && ControlHasFocus(kStationList)) return kStationList;
    return -1;
}

int ListCount(int list) {
    return list == kTrackList ? g.trackCount : static_cast<int>(g.stations.entries.size());
}

void MoveListSelection(int list, int key) {
    const int count = ListCount(list);
    if (count <= 0) return;
    const int now = GetControlValue(list);
    int to = now;
    switch (key) {
        case kKeyUp:
            to = now < 0 ? 0 : now - 1;
            break;
        case kKeyDown:
            to = now + 1;
            break;
        case kKeyPageUp:
            to = now - kPageRows;
            break;
        case kKeyPageDown:
            to = now + kPageRows;
            break;
        case kKeyHome:
            to = 0;
            break;
        default:
            to = count - 1;
            break;
    }
    SetControlValue(list, std::clamp(to, 0, count - 1));
}

// The first line of the clipboard that is a station's address; empty when none is.
std::string ClipboardAddress() {
    const std::string text = ClipboardText();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string address = StationAddressOrEmpty(text.substr(start, end - start));
        if (!address.empty()) return address;
        start = end + 1;
    }
    return {};
}

void PasteStation() {
    const std::string address = ClipboardAddress();
    if (address.empty()) {
        ShowMarqueeMessage("В буфере обмена нет адреса станции");
        return;
    }
    if (!StationPanelOpen()) {
        PlayAddress(address);
        return;
    }
    if (AddStationAndPlay(address)) SaveStationList();
}

// Keys with Ctrl or Alt held; false when the player is to end.
bool RunChordCommand(int key, int modifiers) {
    const bool ctrl = (modifiers & kCtrlKey) != 0, alt = (modifiers & kAltKey) != 0;
    if (ctrl && !alt) {
        if (key == 'q') return false;
        if (modifiers & kKeyRepeat) return true;
        if (key == 'o') OpenFromDialog();
        if (key == 'v') PasteStation();
        if (key == 's' && KeepCurrentStation()) SaveStationList();
    } else if (alt && !ctrl && StationPanelOpen() && (key == kKeyUp || key == kKeyDown)) {
        if (MoveSelectedStation(key == kKeyUp ? -1 : +1)) SaveStationList();
    }
    return true;
}

// The keys without Ctrl or Alt whose command is not to repeat while the key is held.
void RunSingleCommand(int key) {
    switch (key) {
        case ' ':
            PlayOrPause();
            break;
        case 'z':
            StepTrack(-1);
            break;
        case 'x':
            Play();
            break;
        case 'c':
            PauseOrResume();
            break;
        case 'v':
            StopPlayback();
            break;
        case 'b':
            StepTrack(+1);
            break;
        case 'f':
            if (g.miniMode == 0) ToggleStationPanel();
            break;
        case 'p':
            if (g.miniMode == 0) ToggleTrackPanel();
            break;
        case 'm':
            ToggleMiniMode();
            break;
        case kKeyEscape:
            CloseOpenPanel();
            break;
        case kKeyEnter:
            if (StationPanelOpen())
                ActivateStation();
            else if (TrackPanelOpen())
                PlaySelectedTrack();
            break;
        case kKeyDelete:
            if (StationPanelOpen() && RemoveSelectedStation()) SaveStationList();
            break;
        default:
            break;
    }
}

}  // namespace

bool RunKeyCommand() {
    const int key = LastEventKey();
    const int modifiers = LastEventKeyModifiers();
    if (modifiers & (kCtrlKey | kAltKey)) return RunChordCommand(key, modifiers);
    if (modifiers & kMetaKey) return true;  // the desktop's own keys
    const int list = FocusedOpenList();
    switch (key) {
        case kKeyLeft:
        case kKeyRight:
            if (SeekBySeconds(key == kKeyLeft ? -kSeekStepSeconds : kSeekStepSeconds))
                AnnounceSeek();
            return true;
        case kKeyUp:
        case kKeyDown:
            if (list >= 0)
                MoveListSelection(list, key);
            else
                StepVolume(key == kKeyUp ? +1 : -1);
            return true;
        case kKeyPageUp:
        case kKeyPageDown:
        case kKeyHome:
        case kKeyEnd:
            if (list >= 0) MoveListSelection(list, key);
            return true;
        default:
            break;
    }
    if (!(modifiers & kKeyRepeat)) RunSingleCommand(key);
    return true;
}
