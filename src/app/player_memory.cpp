// Gathering and showing the remembered state, and when the state file is written.
#include "player_memory.h"

#include <sys/stat.h>

#include <chrono>

#include "background_writer.h"
#include "control_numbers.h"
#include "desktop_service.h"
#include "play_order.h"
#include "play_order_look.h"
#include "playback_controller.h"
#include "player_state.h"
#include "station_list_control.h"
#include "track_folder.h"
#include "widgets.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWriteInterval = std::chrono::seconds(10);
constexpr int kPanelOpenHeight = 150;

struct Memory {
    std::string path;
    SavedState written;  // what the file holds (as read at start, or as last written)
    SavedSource restoredSource = SavedSource::kNone;
    SavedState restoredPlaces;  // only its window places are used
    bool due = false;
    Clock::time_point lastWrite{};
};

Memory g_memory;

bool IsFolder(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The file is written on a thread of its own; the window goes on at once. A folder that
// cannot be written: the player runs on and tries again at the next change, silently.
void Write(const SavedState &state) {
    g_memory.lastWrite = Clock::now();
    g_memory.due = false;
    if (g_memory.path.empty()) return;
    WriteSavedStateInBackground(g_memory.path, FormatSavedState(state));
    g_memory.written = state;
}

void OpenPanelAtOnce(int container, std::int32_t &closed) {
    ResizeControl(container, kKeep, kKeep, kKeep, kPanelOpenHeight);
    closed = 0;
}

// Selects the remembered station: its row when that row still holds it, else the row with
// its address. The address is kept for the play command even when the list lost it.
void RestoreStation(const SavedState &state) {
    const auto &entries = g.stations.entries;
    int row = -1;
    if (state.stationIndex && *state.stationIndex < static_cast<int>(entries.size()) &&
        (state.stationAddress.empty() ||
         entries[*state.stationIndex].address == state.stationAddress))
        row = *state.stationIndex;
    for (std::size_t i = 0; row < 0 && i < entries.size(); ++i)
        if (!state.stationAddress.empty() && entries[i].address == state.stationAddress)
            row = static_cast<int>(i);
    if (row >= 0) {
        SetControlValue(kStationList, row);
    }
    if (!state.stationAddress.empty() && IsStationAddress(state.stationAddress)) {
        g.stationUrl = state.stationAddress;
        if (row >= 0 && entries[row].address == state.stationAddress)
            g.currentTitle = entries[row].title;
    }
}

}  // namespace

SavedState GatherSavedState() {
    SavedState state;
    state.volumePercent = g.volumePercent;
    const std::string folder = GetControlText(kFolderLabel);
    if (!folder.empty() && folder.front() == '/') {
        state.trackFolder = folder;
        state.trackName = GetControlText(kTrackList);
        if (g.trackSubFolders == 1) state.trackSubFolders = true;
    }
    if (g.streamSerial != 0)
        state.lastSource =
            g.lastStreamWasStation == 1 ? SavedSource::kStation : SavedSource::kTrack;
    else
        state.lastSource = g_memory.restoredSource;
    state.stationAddress = g.stationUrl;
    const int stationRow = GetControlValue(kStationList);
    if (stationRow >= 0) state.stationIndex = stationRow;
    if (WindowPlacesKnown()) {
        const ScreenPoint main = WindowPosition(kMainWindow), mini = WindowPosition(kMiniWindow);
        state.mainWindow = SavedPoint{main.x, main.y};
        state.miniWindow = SavedPoint{mini.x, mini.y};
    } else {
        // The places remembered under a window system that tells them stay for the next run
        // there.
        state.mainWindow = g_memory.restoredPlaces.mainWindow;
        state.miniWindow = g_memory.restoredPlaces.miniWindow;
    }
    state.miniMode = g.miniMode == 1;
    // Only what differs from the defaults (off, the time of day) is written.
    if (g.repeat != 0) state.repeat = g.repeat;
    if (g.shuffle == 1) state.shuffle = true;
    if (g.clockMode != 0) state.clockMode = g.clockMode;
    if (g.equaliserPreset != 0) state.equaliser = g.equaliserPreset;
    state.stationList = g.stationFile;
    state.panel = g.trackPanelClosed == 0     ? SavedPanel::kTracks
                  : g.stationPanelClosed == 0 ? SavedPanel::kStations
                                              : SavedPanel::kNone;
    return state;
}

void ApplySavedState(const SavedState &state) {
    if (state.volumePercent) SetVolumePercent(*state.volumePercent);

    if (!state.trackFolder.empty() && IsFolder(state.trackFolder)) {
        g.chosenFilePath = state.trackFolder + state.trackName;
        ListTrackFolder(state.trackFolder, state.trackSubFolders.value_or(false));
        if (state.trackName.empty())
            SetControlValue(kTrackList, -1);
        else
            SelectChosenTrack();
    }
    // The list last in use, unless the command line named one.
    if (g.stationFile.empty() && !state.stationList.empty()) UseStationListFile(state.stationList);
    RestoreStation(state);
    if (state.repeat) SetRepeat(*state.repeat);
    if (state.shuffle) SetShuffle(*state.shuffle, GetControlValue(kTrackList));
    ShowPlayOrder();
    if (state.clockMode) g.clockMode = *state.clockMode;
    if (state.equaliser) SetEqualiserPreset(*state.equaliser);  // an unknown one: off
    g_memory.restoredSource = state.lastSource;
    g_memory.restoredPlaces.mainWindow = state.mainWindow;
    g_memory.restoredPlaces.miniWindow = state.miniWindow;
    // Play resumes what played last: the station when it was one.
    g.lastStreamWasStation = state.lastSource == SavedSource::kStation && !g.stationUrl.empty();

    if (state.panel == SavedPanel::kTracks) OpenPanelAtOnce(kTrackPanel, g.trackPanelClosed);
    if (state.panel == SavedPanel::kStations) OpenPanelAtOnce(kStationPanel, g.stationPanelClosed);

    // A place off every screen (a monitor unplugged since) keeps the centred place.
    if (state.mainWindow)
        MoveTopWindowOnScreen(kMainWindow, state.mainWindow->x, state.mainWindow->y);
    if (state.miniWindow)
        MoveTopWindowOnScreen(kMiniWindow, state.miniWindow->x, state.miniWindow->y);
    if (state.miniMode) g.miniMode = *state.miniMode ? 1 : 0;
}

void SetStateFilePath(const std::string &path) {
    g_memory = Memory{};
    g_memory.path = path;
}

void RestoreRememberedState() {
    SetStateFilePath(SavedStatePath());
    const SavedState state = ReadSavedStateFile(g_memory.path);
    ApplySavedState(state);
    // What the file held counts as written: an unchanged player writes nothing.
    g_memory.written = GatherSavedState();
}

void RememberIfChanged() {
    if (g_memory.path.empty()) return;
    const SavedState now = GatherSavedState();
    if (now == g_memory.written) {
        g_memory.due = false;
        return;
    }
    // Where the end may come without warning (the compositor gone under Wayland) nothing is
    // left to write later; there no drag moves a window, so changes come one command at a
    // time and the writer's thread takes each at once.
    if (DisplayLossEndsAtOnce() || Clock::now() - g_memory.lastWrite >= kWriteInterval)
        Write(now);
    else
        g_memory.due = true;
}

void KeepStateFileCurrent() {
    if (!g_memory.due || Clock::now() - g_memory.lastWrite < kWriteInterval) return;
    RememberIfChanged();
}

void RememberNow() {
    if (g_memory.path.empty()) return;
    const SavedState now = GatherSavedState();
    if (now != g_memory.written) Write(now);
    // The end: the last state (and a station list still waiting) is in place before the
    // player goes, without waiting out a busy disk's fsync.
    EndSavedStateWrites();
}
