// XSPF station lists, read by a small scanner of its own: only the <track> elements and their
// <location> and <title> are looked at. Nothing is fetched and no entity but XML's own and
// numbered characters is expanded, so a hostile file costs one pass over its bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "station_formats.h"

namespace {

bool IsNameEnd(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

// A tag's name without its namespace prefix ("xspf:track" -> "track").
std::string_view LocalName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

void AppendUtf8(std::uint32_t code, std::string *out) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A numbered character reference's text ("#38", "#x26"); false for one that names no
// character XML allows.
bool CharacterReference(std::string_view name, std::uint32_t *code) {
    if (name.size() < 2 || name.front() != '#') return false;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return false;
    std::uint32_t value = 0;
    for (const char c : digits) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    *code = value;
    return true;
}

// Character data with its references replaced; an unknown one stays as it stands.
void AppendText(std::string_view text, std::string *out, std::size_t limit) {
    for (std::size_t i = 0; i < text.size() && out->size() < limit; ++i) {
        if (text[i] != '&') {
            *out += text[i];
            continue;
        }
        const std::size_t semicolon = text.find(';', i);
        if (semicolon == std::string_view::npos || semicolon - i > 12) {
            *out += '&';
            continue;
        }
        const std::string_view name = text.substr(i + 1, semicolon - i - 1);
        std::uint32_t code = 0;
        if (name == "amp")
            *out += '&';
        else if (name == "lt")
            *out += '<';
        else if (name == "gt")
            *out += '>';
        else if (name == "quot")
            *out += '"';
        else if (name == "apos")
            *out += '\'';
        else if (CharacterReference(name, &code))
            AppendUtf8(code, out);
        else {
            *out += '&';
            continue;
        }
        i = semicolon;
    }
}

enum class Field { kNone, kLocation, kTitle };

struct Track {
    bool open = false;
    std::string address, title;
    // The field being read: its text so far, and the depth of elements opened inside it.
    Field field = Field::kNone;
    std::string text;
    int depthInField = 0;
};

}  // namespace

std::vector<StationEntry> ReadXspfStations(std::string_view text) {
    std::vector<StationEntry> stations;
    Track track;
    // Bound on what one field may gather: a location longer than this is no station anyway.
    constexpr std::size_t kFieldLimit = kMaxStationAddressBytes + 1;
    std::size_t pos = 0;
    while (pos < text.size() && stations.size() < kMaxListedStations) {
        const std::size_t open = text.find('<', pos);
        const std::string_view data =
            text.substr(pos, open == std::string_view::npos ? std::string_view::npos : open - pos);
        if (track.field != Field::kNone) AppendText(data, &track.text, kFieldLimit);
        if (open == std::string_view::npos) break;
        const std::string_view rest = text.substr(open);
        // Comments, character data sections, declarations and processing instructions.
        if (rest.starts_with("<!--")) {
            const std::size_t end = text.find("-->", open + 4);
            pos = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        if (rest.starts_with("<![CDATA[")) {
            const std::size_t end = text.find("]]>", open + 9);
            const std::size_t stop = end == std::string_view::npos ? text.size() : end;
            if (track.field != Field::kNone && track.text.size() < kFieldLimit)
                track.text.append(text.substr(open + 9, stop - open - 9)
                                      .substr(0, kFieldLimit - track.text.size()));
            pos = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        if (rest.starts_with("<?") || rest.starts_with("<!")) {
            // A declaration's internal subset ("<!DOCTYPE x [ ... ]>") ends at "]>".
            const std::size_t bracket = text.find_first_of("[>", open + 2);
            std::size_t end = bracket;
            if (bracket != std::string_view::npos && text[bracket] == '[') {
                end = text.find("]>", bracket);
                if (end != std::string_view::npos) ++end;
            }
            pos = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        const std::size_t close = text.find('>', open);
        if (close == std::string_view::npos) break;
        pos = close + 1;
        std::string_view tag = text.substr(open + 1, close - open - 1);
        const bool endTag = !tag.empty() && tag.front() == '/';
        const bool emptyTag = !tag.empty() && tag.back() == '/';
        if (endTag) tag.remove_prefix(1);
        std::size_t nameEnd = 0;
        while (nameEnd < tag.size() && !IsNameEnd(tag[nameEnd]))
            ++nameEnd;
        const std::string_view name = LocalName(tag.substr(0, nameEnd));

        if (track.field != Field::kNone) {
            // Elements inside a field add nothing but their text.
            if (!endTag && !emptyTag) ++track.depthInField;
            if (!endTag || track.depthInField-- > 0) continue;
            if (track.field == Field::kLocation && track.address.empty())
                track.address = StationAddressOrEmpty(track.text);
            if (track.field == Field::kTitle && track.title.empty())
                track.title = CleanStationTitle(track.text);
            track.field = Field::kNone;
            track.depthInField = 0;
            continue;
        }
        if (name == "track" && !emptyTag) {
            if (endTag && track.open && !track.address.empty())
                stations.push_back({std::move(track.address), std::move(track.title)});
            track = Track{};
            track.open = !endTag;
            continue;
        }
        if (!track.open || endTag || emptyTag) continue;
        if (name == "location" && track.address.empty()) track.field = Field::kLocation;
        if (name == "title" && track.title.empty()) track.field = Field::kTitle;
        track.text.clear();
    }
    return stations;
}
