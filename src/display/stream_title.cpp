#include "stream_title.h"

#include <string_view>

bool StreamTitleFromMetadata(const char *metadata, std::string *title) {
    if (metadata == nullptr) return false;
    static constexpr std::string_view kKey = "StreamTitle='";
    const std::string_view text(metadata);
    const std::size_t key = text.find(kKey);
    if (key == std::string_view::npos) return false;
    const std::string_view rest = text.substr(key + kKey.size());
    title->assign(rest.substr(0, rest.find("';")));  // keeps the string's buffer
    return true;
}
