// What every station list form keeps of an entry: the address and title rules.
#include <string>
#include <string_view>

#include "ascii.h"
#include "station_formats.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != prefix[i]) return false;
    return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::string StationAddressOrEmpty(std::string_view text) {
    text = TrimBlanks(text);
    if (text.size() > kMaxStationAddressBytes) return {};
    std::size_t rest;
    if (StartsWithNoCase(text, "http://"))
        rest = 7;
    else if (StartsWithNoCase(text, "https://"))
        rest = 8;
    else
        return {};
    if (text.size() == rest) return {};  // no host
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) return {};
    }
    return std::string(text);
}

std::string CleanStationTitle(std::string_view text) {
    std::string title;
    title.reserve(text.size() < kMaxStationTitleBytes ? text.size() : kMaxStationTitleBytes);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        title += (byte < 0x20 || byte == 0x7F) ? ' ' : c;
        if (title.size() > kMaxStationTitleBytes + 4) break;
    }
    const std::string_view trimmed = TrimBlanks(title);
    std::string kept(trimmed);
    if (kept.size() > kMaxStationTitleBytes) {
        std::size_t cut = kMaxStationTitleBytes;
        // Back to the start of the character the cut falls in.
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80)
            --cut;
        kept.resize(cut);
        kept = std::string(TrimBlanks(kept));
    }
    return kept;
}

bool IsStationListFileName(std::string_view name) {
    for (const std::string_view suffix : {".pls", ".m3u", ".m3u8", ".xspf"})
        if (EndsWithNoCase(name, suffix)) return true;
    return false;
}
