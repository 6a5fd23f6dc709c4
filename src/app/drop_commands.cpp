#include "drop_commands.h"

#include <string>
#include <vector>

#include "control_numbers.h"
#include "desktop_service.h"
#include "drop_events.h"
#include "player_state.h"
#include "station_formats.h"
#include "station_list_control.h"
#include "station_list_file.h"
#include "widgets.h"

namespace {

bool DroppedOnStationPanel() {
    if (g.miniMode != 0 || g.stationPanelClosed != 0 || LastEventWindow() != kMainWindow)
        return false;
    const ScreenRect panel = ControlScreenRect(NativeControlHandle(kStationPanel));
    const ScreenPoint at = LastEventDropPoint();
    return at.x >= panel.left && at.x < panel.right && at.y >= panel.top && at.y < panel.bottom;
}

// Each address is added; the first of them plays. The list is written once.
void AddDroppedStations(const std::vector<std::string> &locations) {
    bool changed = false, played = false;
    for (const std::string &location : locations) {
        const std::string address = StationAddressOrEmpty(location);
        if (address.empty()) continue;
        if (!played) {
            changed |= AddStationAndPlay(address);
            played = true;
        } else if (g.stations.entries.size() < kMaxListedStations) {
            bool listed = false;
            for (const StationEntry &entry : g.stations.entries)
                listed = listed || entry.address == address;
            if (!listed) {
                g.stations.entries.push_back({address, ""});
                changed = true;
            }
        }
    }
    if (!changed) return;
    const int selected = GetControlValue(kStationList);
    FillStationListControl();
    SetControlValue(kStationList, selected);
    SaveStationList();
}

}  // namespace

void OpenDroppedLocations() {
    const std::vector<std::string> locations = LastEventDropLocations();
    if (DroppedOnStationPanel()) {
        AddDroppedStations(locations);
        return;
    }
    for (const std::string &location : locations)
        if (OpenLocation(location)) return;
}
