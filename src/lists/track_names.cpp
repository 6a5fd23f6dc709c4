#include "track_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

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
    // Every extension the engine's decoders take; a name decides, no file is opened (a
    // folder of thousands is listed on the window's thread).
    static constexpr std::string_view kExtensions[] = {
        "mp3", "wav", "mid", "midi", "kar",  "rmi",  "flac", "ogg", "oga", "opus", "aac",
        "m4a", "m4b", "mp4", "aif",  "aiff", "aifc", "wv",   "ape", "wma", "mka",
    };
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot - 1 > 4) return false;
    std::string lower;
    for (char c : name.substr(dot + 1))
        lower += AsciiLower(c);
    return std::find(std::begin(kExtensions), std::end(kExtensions), lower) !=
           std::end(kExtensions);
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

namespace {

bool ByTrackName(const std::string &a, const std::string &b) {
    return TrackNameLess(a, b);
}

// An entry's kind from the folder listing itself where the file system tells it; a stat only
// for those it does not (and for symbolic links, which are what they point to).
enum class EntryKind { kOther, kFile, kFolder };

EntryKind KindOf(DIR *dir, const dirent &entry) {
    if (entry.d_type == DT_REG) return EntryKind::kFile;
    if (entry.d_type == DT_DIR) return EntryKind::kFolder;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return EntryKind::kOther;
    struct stat info {};
    if (fstatat(dirfd(dir), entry.d_name, &info, 0) != 0) return EntryKind::kOther;
    return S_ISREG(info.st_mode)   ? EntryKind::kFile
           : S_ISDIR(info.st_mode) ? EntryKind::kFolder
                                   : EntryKind::kOther;
}

struct Listing {
    std::vector<std::string> tracks;
    std::size_t entriesRead = 0, foldersRead = 0;
    std::vector<std::pair<dev_t, ino_t>> foldersOnTheWay;  // the walk's current chain
};

// Lists folder (path, with its "/", relative to the root in prefix) into listing.
bool ReadEnough(const Listing &listing) {
    return listing.tracks.size() >= kMaxListedTracks || listing.entriesRead >= kMaxReadEntries ||
           listing.foldersRead >= kMaxReadFolders;
}

void ListInto(const std::string &path, const std::string &prefix, int depth, Listing &listing) {
    if (ReadEnough(listing)) return;
    ++listing.foldersRead;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(path.empty() ? "." : path.c_str()));
    if (!dir) return;
    struct stat self {};
    if (fstat(dirfd(dir.get()), &self) != 0) return;
    // A symbolic link back up the chain would loop; one to a folder elsewhere is followed.
    const std::pair<dev_t, ino_t> id{self.st_dev, self.st_ino};
    for (const auto &seen : listing.foldersOnTheWay)
        if (seen == id) return;
    listing.foldersOnTheWay.push_back(id);

    std::vector<std::string> files, folders;
    while (const dirent *entry = readdir(dir.get())) {
        if (++listing.entriesRead >= kMaxReadEntries) break;
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        const bool track = IsTrackName(name);
        // Hidden folders hold trash, thumbnails and the like, not albums.
        const bool folderWanted = depth < kMaxFolderDepth && name.front() != '.';
        if (!track && !folderWanted) continue;
        const EntryKind kind = KindOf(dir.get(), *entry);
        if (track && kind == EntryKind::kFile) files.emplace_back(name);
        if (folderWanted && kind == EntryKind::kFolder) folders.emplace_back(name);
        if (files.size() >= kMaxListedTracks) break;
    }
    std::sort(files.begin(), files.end(), ByTrackName);
    for (const std::string &name : files) {
        if (listing.tracks.size() >= kMaxListedTracks) break;
        listing.tracks.push_back(prefix + name);
    }
    std::sort(folders.begin(), folders.end(), ByTrackName);
    for (const std::string &name : folders) {
        if (ReadEnough(listing)) break;
        ListInto(path + name + "/", prefix + name + "/", depth + 1, listing);
    }
    listing.foldersOnTheWay.pop_back();
}

}  // namespace

std::vector<std::string> ListTrackNames(const std::string &folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return names;
    try {
        while (const dirent *entry = readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (IsTrackName(name) && KindOf(dir.get(), *entry) == EntryKind::kFile)
                names.emplace_back(name);
            if (names.size() >= kMaxListedTracks) break;
        }
        std::sort(names.begin(), names.end(), ByTrackName);
    } catch (const std::bad_alloc &) {
        names.clear();
    }
    return names;
}

std::vector<std::string> ListTrackNamesWithSubFolders(const std::string &folder) {
    Listing listing;
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    try {
        ListInto(path, "", 0, listing);
    } catch (const std::bad_alloc &) {
        listing.tracks.clear();
    }
    return std::move(listing.tracks);
}
