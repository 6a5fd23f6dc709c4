#include "track_names.h"

#include <dirent.h>

#include <algorithm>
#include <memory>
#include <new>

#include "ascii.h"

namespace {

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};

}  // namespace

std::string FolderPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string NamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsTrackName(std::string_view name) {
    const std::string_view tail = name.size() > 4 ? name.substr(name.size() - 4) : name;
    std::string lower;
    for (char c : tail)
        lower += AsciiLower(c);
    return lower == ".wav" || lower == ".mp3" || lower == ".mid";
}

bool TrackNameLess(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

std::vector<std::string> ListTrackNames(const std::string &folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return names;
    try {
        while (const dirent *entry = readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (IsTrackName(name)) names.emplace_back(name);
        }
        std::sort(names.begin(), names.end(),
                  [](const std::string &a, const std::string &b) { return TrackNameLess(a, b); });
    } catch (const std::bad_alloc &) {
        names.clear();
    }
    return names;
}
