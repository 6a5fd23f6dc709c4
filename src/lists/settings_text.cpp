#include "settings_text.h"

#include <cstdint>
#include <cstring>

#include "ascii.h"
#include "text_encoding.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimTrailingBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view TrimLeadingBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

}  // namespace

std::string SettingsBytesToUtf8(std::string bytes) {
    if (bytes.starts_with(kByteOrderMark)) {
        bytes.erase(0, kByteOrderMark.size());
        return Utf8WithReplacements(bytes);
    }
    if (IsValidUtf8(bytes)) return bytes;
    // Line by line: one title pasted in another encoding must not change how the group line
    // and every other title are read.
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 2);
    const std::string_view all(bytes);
    for (std::size_t pos = 0; pos < all.size();) {
        std::size_t next = pos;
        const std::string_view line = NextSettingsLine(all, &next);
        const std::size_t end = pos + line.size();
        if (IsValidUtf8(line))
            text += line;
        else
            text += Cp1251ToUtf8(line);
        if (end < all.size()) text += all[end];
        pos = end + 1;
    }
    return text;
}

std::string_view NextSettingsLine(std::string_view text, std::size_t *pos) {
    const std::size_t start = *pos < text.size() ? *pos : text.size();
    // memchr scans many bytes at a time: lines of kilobytes are read as fast as short ones.
    const char *begin = text.data() + start;
    std::size_t length = text.size() - start;
    if (const void *lf = std::memchr(begin, '\n', length))
        length = static_cast<std::size_t>(static_cast<const char *>(lf) - begin);
    if (const void *cr = std::memchr(begin, '\r', length))
        length = static_cast<std::size_t>(static_cast<const char *>(cr) - begin);
    const std::size_t end = start + length;
    *pos = end + 1;
    return text.substr(start, end - start);
}

bool ParseSettingsLine(std::string_view line, SettingsLine *out) {
    line = TrimLeadingBlanks(line);
    if (line.empty() || line.front() == ';') return false;
    if (line.front() == '[') {
        line.remove_prefix(1);
        out->header = true;
        out->name = line.substr(0, line.find(']'));
        out->value = {};
        return true;
    }
    const std::size_t equals = line.find('=');
    out->header = false;
    out->name = TrimTrailingBlanks(line.substr(0, equals));
    out->value = equals == std::string_view::npos ? std::string_view{}
                                                  : TrimLeadingBlanks(line.substr(equals + 1));
    return true;
}

bool SameSettingsName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::size_t HashSettingsName(std::string_view name) {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (char c : name) {
        h ^= static_cast<unsigned char>(AsciiLower(c));
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}
