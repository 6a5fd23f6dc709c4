// The state file: a "[volnar]" section of key=value lines. Texts are written byte for byte,
// except the backslash and the control characters, which are escaped ("\\", "\xHH"), so that
// every line stays one line whatever a folder or an address contains.
#include "saved_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <system_error>

namespace {

constexpr std::string_view kSection = "[volnar]";
constexpr std::string_view kFolderName = "volnar";
constexpr std::string_view kFileName = "state.ini";

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A written text back from its escaped form; nothing for a raw control character, a broken
// escape or a text beyond the limit.
std::optional<std::string> Unescape(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (IsControl(static_cast<unsigned char>(c))) return std::nullopt;
        if (c != '\\') {
            text += c;
        } else if (i + 1 < value.size() && value[i + 1] == '\\') {
            text += '\\';
            ++i;
        } else if (i + 3 < value.size() && value[i + 1] == 'x' && HexValue(value[i + 2]) >= 0 &&
                   HexValue(value[i + 3]) >= 0) {
            text += static_cast<char>(HexValue(value[i + 2]) * 16 + HexValue(value[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
        if (text.size() > kSavedTextLimit) return std::nullopt;
    }
    return text;
}

std::string Escape(const std::string &text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (IsControl(byte)) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// A whole decimal number within [low, high]; nothing for anything else.
std::optional<int> Number(std::string_view value, int low, int high) {
    if (value.empty() || value.size() > 12) return std::nullopt;
    long long number = 0;
    const char *end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, number);
    if (error != std::errc() || stop != end || number < low || number > high) return std::nullopt;
    return static_cast<int>(number);
}

std::optional<SavedPoint> Point(std::string_view value) {
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = Number(value.substr(0, comma), -kSavedCoordinateLimit, kSavedCoordinateLimit);
    const auto y = Number(value.substr(comma + 1), -kSavedCoordinateLimit, kSavedCoordinateLimit);
    if (!x || !y) return std::nullopt;
    return SavedPoint{*x, *y};
}

// A folder: absolute, ending in "/", no empty text. A name: a path inside the folder (a
// track of a sub-folder has one), whose every part is a name: not empty, not "." or "..".
bool UsableFolder(const std::string &folder) {
    return folder.size() >= 1 && folder.front() == '/' && folder.back() == '/';
}

bool UsableName(const std::string &name) {
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = name.find('/', start);
        const std::string part = name.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

void TakeLine(std::string_view key, std::string_view value, SavedState &state) {
    if (key == "volume") {
        state.volumePercent = Number(value, 0, 100);
    } else if (key == "track_folder") {
        const auto text = Unescape(value);
        state.trackFolder = text && UsableFolder(*text) && text->find('\0') == std::string::npos
                                ? *text
                                : std::string();
    } else if (key == "track") {
        const auto text = Unescape(value);
        state.trackName = text && UsableName(*text) ? *text : std::string();
    } else if (key == "track_subfolders") {
        const auto flag = Number(value, 0, 1);
        if (flag) state.trackSubFolders = *flag == 1;
    } else if (key == "repeat") {
        state.repeat = Number(value, 0, 2);
    } else if (key == "shuffle") {
        const auto flag = Number(value, 0, 1);
        if (flag) state.shuffle = *flag == 1;
    } else if (key == "clock") {
        state.clockMode = Number(value, 0, 2);
    } else if (key == "equaliser") {
        state.equaliser = Number(value, 0, 63);
    } else if (key == "last_source") {
        state.lastSource = value == "track"     ? SavedSource::kTrack
                           : value == "station" ? SavedSource::kStation
                                                : SavedSource::kNone;
    } else if (key == "station") {
        const auto text = Unescape(value);
        state.stationAddress =
            text && text->find('\0') == std::string::npos ? *text : std::string();
    } else if (key == "station_index") {
        state.stationIndex = Number(value, 0, 1000000);
    } else if (key == "main_window") {
        state.mainWindow = Point(value);
    } else if (key == "mini_window") {
        state.miniWindow = Point(value);
    } else if (key == "mini_mode") {
        const auto flag = Number(value, 0, 1);
        state.miniMode = flag ? std::optional<bool>(*flag == 1) : std::nullopt;
    } else if (key == "station_list") {
        const auto text = Unescape(value);
        state.stationList =
            text && !text->empty() && text->front() == '/' && text->find('\0') == std::string::npos
                ? *text
                : std::string();
    } else if (key == "panel") {
        state.panel = value == "tracks"     ? SavedPanel::kTracks
                      : value == "stations" ? SavedPanel::kStations
                                            : SavedPanel::kNone;
    }
}

// A file descriptor closed when it goes out of scope.
struct FileDescriptor {
    int fd = -1;
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
};

bool WriteAll(int fd, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Creates the folder and any missing parent, private to the user as the XDG folders are.
bool MakeFolders(const std::string &folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

SavedState ParseSavedState(const std::string &text) {
    SavedState state;
    std::string_view rest(text.data(), std::min(text.size(), kSavedFileLimit));
    bool inSection = false;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            inSection = line == kSection;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) continue;
        TakeLine(line.substr(0, equals), line.substr(equals + 1), state);
    }
    return state;
}

std::string FormatSavedState(const SavedState &state) {
    std::string text = "# VOLNAR remembers here what it showed when it last ran.\n";
    text += kSection;
    text += '\n';
    auto line = [&text](std::string_view key, const std::string &value) {
        text += key;
        text += '=';
        text += value;
        text += '\n';
    };
    auto point = [](const SavedPoint &p) {
        return std::to_string(p.x) + "," + std::to_string(p.y);
    };
    if (state.volumePercent) line("volume", std::to_string(*state.volumePercent));
    if (!state.trackFolder.empty()) line("track_folder", Escape(state.trackFolder));
    if (!state.trackName.empty()) line("track", Escape(state.trackName));
    if (state.trackSubFolders) line("track_subfolders", *state.trackSubFolders ? "1" : "0");
    if (state.lastSource != SavedSource::kNone)
        line("last_source", state.lastSource == SavedSource::kTrack ? "track" : "station");
    if (!state.stationAddress.empty()) line("station", Escape(state.stationAddress));
    if (state.stationIndex) line("station_index", std::to_string(*state.stationIndex));
    if (state.mainWindow) line("main_window", point(*state.mainWindow));
    if (state.miniWindow) line("mini_window", point(*state.miniWindow));
    if (state.miniMode) line("mini_mode", *state.miniMode ? "1" : "0");
    if (state.repeat) line("repeat", std::to_string(*state.repeat));
    if (state.shuffle) line("shuffle", *state.shuffle ? "1" : "0");
    if (state.clockMode) line("clock", std::to_string(*state.clockMode));
    if (state.equaliser) line("equaliser", std::to_string(*state.equaliser));
    if (state.panel != SavedPanel::kNone)
        line("panel", state.panel == SavedPanel::kTracks ? "tracks" : "stations");
    if (!state.stationList.empty()) line("station_list", Escape(state.stationList));
    return text;
}

std::string SavedStatePath() {
    std::string base;
    const char *stateHome = std::getenv("XDG_STATE_HOME");
    const char *home = std::getenv("HOME");
    // The XDG rule: a relative XDG_STATE_HOME is invalid and is ignored.
    if (stateHome != nullptr && stateHome[0] == '/') {
        base = stateHome;
    } else if (home != nullptr && home[0] == '/') {
        base = home;
        if (base.back() != '/') base += '/';
        base += ".local/state";
    } else {
        return {};
    }
    if (base.back() != '/') base += '/';
    return base + std::string(kFolderName) + "/" + std::string(kFileName);
}

SavedState ReadSavedStateFile(const std::string &path) {
    if (path.empty()) return {};
    // Non-blocking, so that a FIFO put in the file's place cannot hold up the start.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return {};
    std::string text(kSavedFileLimit, '\0');
    std::size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t got = read(file.fd, text.data() + filled, text.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        filled += static_cast<std::size_t>(got);
    }
    text.resize(filled);
    return ParseSavedState(text);
}

namespace {

// A save cut short (a crash, a power cut between the temporary's creation and its rename)
// leaves its temporary behind: "<name>.XXXXXX", as mkostemp fills it in. Those older than a
// minute are removed; a younger one may be another player's save under way.
void RemoveLeftoverTemporaries(const std::string &folder, const std::string &name) {
    DIR *directory = opendir(folder.c_str());
    if (!directory) return;
    const std::string prefix = name + ".";
    const time_t now = time(nullptr);
    while (const dirent *entry = readdir(directory)) {
        const std::string_view entryName(entry->d_name);
        if (entryName.size() != prefix.size() + 6 || entryName.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view suffix = entryName.substr(prefix.size());
        if (!std::all_of(suffix.begin(), suffix.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            }))
            continue;
        struct stat info {};
        if (fstatat(dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || now - info.st_mtime < 60)
            continue;
        unlinkat(dirfd(directory), entry->d_name, 0);
    }
    closedir(directory);
}

}  // namespace

std::string WriteTemporaryStateFile(const std::string &path, const std::string &text,
                                    DiskWait wait) {
    const std::size_t slash = path.rfind('/');
    if (path.empty() || path.front() != '/' || slash == std::string::npos) return {};
    const std::string folder = path.substr(0, slash + 1);
    if (!MakeFolders(folder)) return {};
    RemoveLeftoverTemporaries(folder, path.substr(slash + 1));

    std::string temporary = path + ".XXXXXX";
    FileDescriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    if (file.fd < 0) return {};
    bool written = WriteAll(file.fd, text);
    if (written && wait == DiskWait::kOnDisk) written = fsync(file.fd) == 0;
    // Only starts the writeback: a busy disk does not hold the caller up.
    if (written && wait == DiskWait::kUnderWay)
        sync_file_range(file.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    const int descriptor = file.fd;
    file.fd = -1;
    const bool closed = close(descriptor) == 0;
    if (!written || !closed) {
        unlink(temporary.c_str());
        return {};
    }
    return temporary;
}

bool PutTemporaryStateFileInPlace(const std::string &temporary, const std::string &path,
                                  DiskWait wait) {
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    if (wait == DiskWait::kUnderWay) return true;
    // The rename itself reaches the disk with the folder's entry.
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    FileDescriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.fd >= 0) fsync(directory.fd);
    return true;
}

bool WriteSavedStateFile(const std::string &path, const std::string &text) {
    const std::string temporary = WriteTemporaryStateFile(path, text, DiskWait::kOnDisk);
    return !temporary.empty() && PutTemporaryStateFileInPlace(temporary, path, DiskWait::kOnDisk);
}
