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

namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

bool SplitStreamTitle(const std::string &streamTitle, std::string *artist, std::string *title) {
    const std::string_view text(streamTitle);
    for (std::size_t dash = text.find(" - "); dash != std::string_view::npos;
         dash = text.find(" - ", dash + 1)) {
        const std::string_view left = TrimBlanks(text.substr(0, dash));
        const std::string_view right = TrimBlanks(text.substr(dash + 3));
        if (left.empty()) continue;
        if (right.empty()) return false;
        artist->assign(left);
        title->assign(right);
        return true;
    }
    return false;
}
