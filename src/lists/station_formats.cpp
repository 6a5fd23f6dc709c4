// Which standard form a station list's text is in.
#include "station_formats.h"

#include "settings_text.h"

std::vector<StationEntry> ReadStandardStationList(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t' ||
                                   text[start] == '\r' || text[start] == '\n'))
        ++start;
    if (start < text.size() && text[start] == '<') return ReadXspfStations(text);
    SettingsLine line;
    for (std::size_t pos = 0; pos < text.size();)
        if (ParseSettingsLine(NextSettingsLine(text, &pos), &line) && line.header &&
            SameSettingsName(line.name, "playlist"))
            return ReadPlsStations(text);
    return ReadM3uStations(text);
}
