// Standard PLS: the "[playlist]" group that radio sites and players write.
#include <charconv>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "settings_text.h"
#include "station_formats.h"

namespace {

// The number after a key's prefix ("File12" -> 12), or false when the key is not the prefix
// followed by digits only.
bool NumberedKey(std::string_view key, std::string_view prefix, std::uint32_t *number) {
    if (key.size() <= prefix.size() || !SameSettingsName(key.substr(0, prefix.size()), prefix))
        return false;
    const std::string_view digits = key.substr(prefix.size());
    if (digits.size() > 9) return false;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), *number);
    return error == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

std::vector<StationEntry> ReadPlsStations(std::string_view text) {
    // By number, so the entries come in their numbered order whatever order the lines are in.
    // A hostile file's many numbers stop at the bound of each.
    std::map<std::uint32_t, std::string> addresses, titles;
    bool inPlaylist = false;
    SettingsLine line;
    for (std::size_t pos = 0; pos < text.size();) {
        if (!ParseSettingsLine(NextSettingsLine(text, &pos), &line)) continue;
        if (line.header) {
            inPlaylist = SameSettingsName(line.name, "playlist");
            continue;
        }
        if (!inPlaylist) continue;
        std::uint32_t number = 0;
        std::map<std::uint32_t, std::string> *values = nullptr;
        if (NumberedKey(line.name, "File", &number))
            values = &addresses;
        else if (NumberedKey(line.name, "Title", &number))
            values = &titles;
        if (values == nullptr || values->size() >= kMaxListedStations || values->count(number))
            continue;
        (*values)[number] = values == &addresses ? StationAddressOrEmpty(line.value)
                                                 : CleanStationTitle(line.value);
    }
    std::vector<StationEntry> stations;
    for (auto &[number, address] : addresses) {
        if (address.empty()) continue;
        const auto title = titles.find(number);
        stations.push_back(
            {std::move(address), title == titles.end() ? std::string() : std::move(title->second)});
    }
    return stations;
}
