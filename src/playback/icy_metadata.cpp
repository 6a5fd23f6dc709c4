#include "icy_metadata.h"

#include <algorithm>
#include <cstring>

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

std::optional<std::string> IcyField(const std::string &text, const std::string &key) {
    if (key.empty()) return std::nullopt;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t found = text.find(key + "='", start);
        if (found == std::string::npos) return std::nullopt;
        // The key must begin the text or follow a field's closing "';".
        if (found != 0 && text[found - 1] != ';') {
            start = found + 1;
            continue;
        }
        std::size_t value = found + key.size() + 2;
        std::size_t end = value;
        for (;;) {
            end = text.find('\'', end);
            if (end == std::string::npos) return text.substr(value);
            if (end + 1 == text.size() || text[end + 1] == ';')
                return text.substr(value, end - value);
            ++end;
        }
    }
    return std::nullopt;
}

}  // namespace engine
