#include "station_list.h"

#include <new>
#include <string>
#include <utility>

#include "player_state.h"
#include "settings_file.h"
#include "settings_text.h"
#include "station_file_lookup.h"
#include "station_formats.h"

namespace {

// The stations of a file's bytes; lastAddress and lastTitle get the last values the player's
// own format read.
std::vector<StationEntry> StationsOfFile(std::string bytes, const std::string &group,
                                         std::string *lastAddress, std::string *lastTitle) {
    std::vector<StationEntry> stations;
    if (OpenSettingsFromMemory(bytes) && SelectSettingsGroup(group)) {
        // Both keys are read on every turn, so the turn that ends the list leaves its empty
        // address, and whatever title it had, behind.
        for (unsigned long n = 1;; ++n) {
            const std::string number = std::to_string(n);
            *lastAddress = ReadSettingsString("File" + number, "");
            *lastTitle = ReadSettingsString("Title" + number, "");
            if (lastAddress->empty()) break;
            stations.push_back({*lastAddress, *lastTitle});
        }
        CloseSettingsFile();
        return stations;
    }
    CloseSettingsFile();
    try {
        return ReadStandardStationList(SettingsBytesToUtf8(std::move(bytes)));
    } catch (const std::bad_alloc &) {
        return {};
    }
}

}  // namespace

void LoadStationList() {
    g.stations = StationList{};
    const std::string file = g.stationFile.empty() ? FindStationFile() : g.stationFile;
    std::string bytes;
    if (!ReadSettingsFileBytes(file, &bytes)) return;
    g.stations.entries =
        StationsOfFile(std::move(bytes), g.stationGroup, &g.stationUrl, &g.currentTitle);
}

bool ReadStationListFile(const std::string &path, const std::string &group,
                         std::vector<StationEntry> *stations) {
    std::string bytes;
    if (!ReadSettingsFileBytes(path, &bytes)) return false;
    std::string address, title;
    *stations = StationsOfFile(std::move(bytes), group, &address, &title);
    return true;
}
