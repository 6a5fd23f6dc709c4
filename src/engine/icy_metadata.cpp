#include "icy_metadata.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace engine {

std::string NormaliseIcyBlock(const char *data, std::size_t size) {
    if (!data) return {};
    size = std::min(size, kMaxIcyBlockBytes);
    const void *zero = std::memchr(data, '\0', size);
    if (zero) size = static_cast<std::size_t>(static_cast<const char *>(zero) - data);
    while (size > 0 && (data[size - 1] == ' ' || data[size - 1] == '\n' || data[size - 1] == '\r'))
        --size;
    return std::string(data, size);
}

std::string IcyNameFromHeaders(const char *headers) {
    if (headers == nullptr) return {};
    // FFmpeg keeps the headers it saw; a hostile station could send many: bounded.
    const std::string_view all(headers, strnlen(headers, 64 * 1024));
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = line.find(':');
        if (colon != 8) continue;
        bool named = true;
        for (std::size_t i = 0; i < 8; ++i)
            named = named && std::tolower(static_cast<unsigned char>(line[i])) == "icy-name"[i];
        if (!named) continue;
        std::string name;
        for (char c : line.substr(colon + 1))
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) name += c;
        const std::size_t first = name.find_first_not_of(' ');
        if (first == std::string::npos) return {};
        name = name.substr(first, name.find_last_not_of(' ') - first + 1);
        if (name.size() > kMaxStationNameBytes) name.resize(kMaxStationNameBytes);
        return name;
    }
    return {};
}

}  // namespace engine
