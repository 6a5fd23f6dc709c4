#include "own_station_file.h"

#include <string_view>

namespace {

std::string OneLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        line += (byte < 0x20 || byte == 0x7F) ? ' ' : c;
    }
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string FormatOwnStationFile(const std::vector<StationEntry> &stations,
                                 const std::string &group) {
    std::string text = "[" + OneLine(group) + "]\n";
    unsigned long number = 0;
    for (const StationEntry &station : stations) {
        const std::string address = OneLine(station.address);
        if (address.empty()) continue;
        const std::string n = std::to_string(++number);
        text += "File" + n + "=" + address + "\n";
        text += "Title" + n + "=" + OneLine(station.title) + "\n";
    }
    return text;
}
