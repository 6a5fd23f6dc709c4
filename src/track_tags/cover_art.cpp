#include "cover_art.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "background_writer.h"

namespace {

bool IsRegularFile(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// FNV-1a over the picture, eight bytes a step (a cover of megabytes is hashed at every
// track's start): names the cache file, so one cover is written once however many tracks
// carry it.
std::uint64_t Fingerprint(const std::string &bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        hash = (hash ^ word) * 1099511628211ull;
    }
    for (; i < bytes.size(); ++i)
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    return hash ^ bytes.size();
}

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};

// Removes the oldest covers so that one more keeps the cache within kMaxCachedCovers.
void MakeRoomInCache(const std::string &folder) {
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return;
    std::vector<std::pair<std::int64_t, std::string>> covers;  // modification time, name
    while (const dirent *entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.rfind("cover-", 0) != 0) continue;
        struct stat info {};
        if (fstatat(dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        covers.emplace_back(static_cast<std::int64_t>(info.st_mtime), name);
        if (covers.size() > 4 * kMaxCachedCovers) break;  // a folder not only ours
    }
    if (covers.size() < kMaxCachedCovers) return;
    std::sort(covers.begin(), covers.end());
    for (std::size_t i = 0; i + kMaxCachedCovers <= covers.size(); ++i)
        unlinkat(dirfd(dir.get()), covers[i].second.c_str(), 0);
}

}  // namespace

std::string CoverCacheFolder() {
    const char *cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/volnar/";
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/volnar/";
    return {};
}

std::string FolderCoverFile(const std::string &folder) {
    static constexpr const char *kNames[] = {"cover",  "Cover", "COVER", "folder", "Folder",
                                             "FOLDER", "front", "Front", "FRONT"};
    static constexpr const char *kExtensions[] = {".jpg", ".jpeg", ".png", ".JPG", ".JPEG", ".PNG"};
    for (const char *name : kNames)
        for (const char *extension : kExtensions) {
            std::string path = folder + name + extension;
            if (IsRegularFile(path)) return path;
        }
    return {};
}

std::string CoverFileFor(const TrackTags &tags, const std::string &trackPath,
                         const std::string &cacheFolder) {
    if (!tags.picture.empty() && !tags.pictureExtension.empty() && !cacheFolder.empty()) {
        char name[64];
        std::snprintf(name, sizeof name, "cover-%016llx.",
                      static_cast<unsigned long long>(Fingerprint(tags.picture)));
        const std::string path = cacheFolder + name + tags.pictureExtension;
        if (!IsRegularFile(path)) {
            MakeRoomInCache(cacheFolder);
            WriteCacheFileInBackground(path, tags.picture);
        }
        return path;
    }
    const std::size_t slash = trackPath.rfind('/');
    return FolderCoverFile(slash == std::string::npos ? "./" : trackPath.substr(0, slash + 1));
}
