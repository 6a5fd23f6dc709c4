// M3U and M3U8 station lists: one address a line, each titled by the "#EXTINF" line before it.
#include <string>
#include <string_view>

#include "settings_text.h"
#include "station_formats.h"

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// "#EXTINF:-1 tvg-name="a,b" group-title="x",Title": the title follows the first comma that
// stands outside the attributes' quotes. Without a comma there is no title.
std::string_view ExtinfTitle(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ',' && !quoted) return line.substr(i + 1);
    }
    return {};
}

// Tags that only an HLS playlist has: its lines are pieces of one stream, not stations.
bool IsHlsTag(std::string_view line) {
    return StartsWith(line, "#EXT-X-TARGETDURATION") || StartsWith(line, "#EXT-X-STREAM-INF") ||
           StartsWith(line, "#EXT-X-MEDIA-SEQUENCE");
}

}  // namespace

std::vector<StationEntry> ReadM3uStations(std::string_view text) {
    std::vector<StationEntry> stations;
    std::string_view title;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::string_view line = TrimBlanks(NextSettingsLine(text, &pos));
        if (line.empty()) continue;
        if (line.front() == '#') {
            if (IsHlsTag(line)) return {};
            if (StartsWith(line, "#EXTINF:")) title = ExtinfTitle(line);
            continue;
        }
        std::string address = StationAddressOrEmpty(line);
        if (!address.empty() && stations.size() < kMaxListedStations)
            stations.push_back({std::move(address), CleanStationTitle(title)});
        title = {};
    }
    return stations;
}
