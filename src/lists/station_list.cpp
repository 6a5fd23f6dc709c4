#include "station_list.h"

#include <string>

#include "player_state.h"
#include "settings_file.h"
#include "station_file_lookup.h"

void LoadStationList() {
    g.stations = StationList{};
    const std::string file = g.stationFile.empty() ? FindStationFile() : g.stationFile;
    if (!OpenSettingsFile(file)) return;
    SelectSettingsGroup(g.stationGroup);
    // Both keys are read on every turn, so the turn that ends the list leaves its empty
    // address, and whatever title it had, in the state.
    for (unsigned long n = 1;; ++n) {
        const std::string number = std::to_string(n);
        g.stationUrl = ReadSettingsString("File" + number, "");
        g.currentTitle = ReadSettingsString("Title" + number, "");
        if (g.stationUrl.empty()) break;
        g.stations.entries.push_back({g.stationUrl, g.currentTitle});
    }
    CloseSettingsFile();
}
