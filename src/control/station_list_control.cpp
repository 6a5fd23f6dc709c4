// The station names shown in list 14 and the commands that change the list; the reading of
// the files is in the lists module.
#include "station_list_control.h"

#include <string>
#include <utility>
#include <vector>

#include "control_numbers.h"
#include "playback_controller.h"
#include "player_state.h"
#include "station_list.h"
#include "track_names.h"
#include "widgets.h"

namespace {

int StationCount() {
    return static_cast<int>(g.stations.entries.size());
}

int StationIndexOf(const std::string &address) {
    for (int i = 0; i < StationCount(); ++i)
        if (g.stations.entries[i].address == address) return i;
    return -1;
}

// List 14 shown anew with row selected; the current-entry cursor keeps naming the station it
// named (currentAddress), or none when that one went.
void ShowChangedList(int row, const std::string &currentAddress) {
    FillStationListControl();
    SetControlValue(kStationList, row);
    g.stations.Select(currentAddress.empty() ? -1 : StationIndexOf(currentAddress));
}

std::string CurrentEntryAddress() {
    const StationEntry *current = g.stations.Current();
    return current ? current->address : std::string();
}

}  // namespace

void FillStationListControl() {
    ClearListItems(kStationList);
    for (const StationEntry &entry : g.stations.entries)
        AddListItem(kStationList, -1, entry.title.empty() ? entry.address : entry.title);
}

bool UseStationListFile(const std::string &path) {
    std::vector<StationEntry> stations;
    if (!ReadStationListFile(path, g.stationGroup, &stations) || stations.empty()) return false;
    g.stationFile = path;
    g.stations = StationList{};
    g.stations.entries = std::move(stations);
    FillStationListControl();
    return true;
}

bool OpenStationListFile(const std::string &path) {
    if (!UseStationListFile(path)) {
        ShowMarqueeMessage("В списке нет станций: " + NamePart(path));
        return false;
    }
    SetControlValue(kStationList, 0);
    return true;
}

bool AddStationAndPlay(const std::string &address) {
    if (address.empty()) return false;
    const bool added = StationIndexOf(address) < 0;
    if (added) {
        // A station from outside the list that plays now keeps the title it has.
        const bool playing = g.lastStreamWasStation == 1 && g.streamAddress == address;
        g.stations.entries.push_back({address, playing ? g.currentTitle : std::string()});
        ShowChangedList(-1, CurrentEntryAddress());
    }
    SetControlValue(kStationList, StationIndexOf(address));
    ActivateStation();
    return added;
}

bool RemoveSelectedStation() {
    const int row = GetControlValue(kStationList);
    if (row < 0 || row >= StationCount()) return false;
    const std::string current = CurrentEntryAddress();
    g.stations.entries.erase(g.stations.entries.begin() + row);
    const int next = row < StationCount() ? row : StationCount() - 1;
    ShowChangedList(next, current);
    return true;
}

bool MoveSelectedStation(int step) {
    const int row = GetControlValue(kStationList);
    const int to = row + step;
    if (row < 0 || row >= StationCount() || to < 0 || to >= StationCount()) return false;
    const std::string current = CurrentEntryAddress();
    std::swap(g.stations.entries[row], g.stations.entries[to]);
    ShowChangedList(to, current);
    return true;
}

bool KeepCurrentStation() {
    if (g.lastStreamWasStation != 1 || g.streamAddress.empty()) return false;
    if (StationIndexOf(g.streamAddress) >= 0) return false;
    g.stations.entries.push_back({g.streamAddress, g.currentTitle});
    ShowChangedList(StationCount() - 1, g.streamAddress);
    return true;
}
