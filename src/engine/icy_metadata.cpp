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

}  // namespace engine
