#include "settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "settings_text.h"

namespace {

// The one open file. Keys of the current group are found through an open-addressing table of
// line offsets, built on the first read after a group is chosen, so a file of many stations
// is read in linear time while the first key of a name still wins.
struct OpenFile {
    bool open = false;
    std::string text;  // UTF-8
    bool groupFound = true;
    std::size_t groupBegin = 0;  // body of the current group: [groupBegin, groupEnd)
    std::size_t groupEnd = 0;
    bool indexed = false;
    std::vector<std::uint32_t> slots;  // 1 + offset of a key line; 0 is a free slot
};

OpenFile file;

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

// The whole file, or false when it is not a readable regular file of a sane size. Non-blocking
// so that a FIFO put in the file's place cannot hold up the caller.
bool ReadWholeFile(const std::string &name, std::string *bytes) {
    const FdCloser f{open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (f.fd < 0) return false;
    struct stat st {};
    if (fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (static_cast<std::uint64_t>(st.st_size) > kMaxSettingsFileBytes) return false;
    bytes->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(f.fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (bytes->size() + static_cast<std::size_t>(n) > kMaxSettingsFileBytes) return false;
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
}

bool LineAt(std::size_t offset, SettingsLine *line) {
    std::size_t pos = offset;
    return ParseSettingsLine(NextSettingsLine(file.text, &pos), line);
}

// Finds the slot holding key, or the free slot where it would go.
std::size_t FindSlot(std::string_view key) {
    const std::size_t mask = file.slots.size() - 1;
    std::size_t i = HashSettingsName(key) & mask;
    SettingsLine line;
    while (file.slots[i] != 0) {
        if (LineAt(file.slots[i] - 1, &line) && SameSettingsName(line.name, key)) return i;
        i = (i + 1) & mask;
    }
    return i;
}

void BuildIndex() {
    file.indexed = false;
    file.slots.clear();
    std::vector<std::uint32_t> keyLines;
    SettingsLine line;
    for (std::size_t pos = file.groupBegin; pos < file.groupEnd;) {
        const std::size_t start = pos;
        if (ParseSettingsLine(NextSettingsLine(file.text, &pos), &line) && !line.header) {
            keyLines.push_back(static_cast<std::uint32_t>(start));
        }
    }
    std::size_t size = 16;
    while (size < 2 * keyLines.size())
        size *= 2;
    file.slots.assign(size, 0);
    for (const std::uint32_t start : keyLines) {
        LineAt(start, &line);
        const std::size_t i = FindSlot(line.name);
        if (file.slots[i] == 0) file.slots[i] = start + 1;
    }
    file.indexed = true;
}

// The first key line of that name in the current group, by walking it: used when the index
// could not be built.
bool FindKeyByWalking(std::string_view key, SettingsLine *found) {
    for (std::size_t pos = file.groupBegin; pos < file.groupEnd;) {
        if (ParseSettingsLine(NextSettingsLine(file.text, &pos), found) && !found->header &&
            SameSettingsName(found->name, key)) {
            return true;
        }
    }
    return false;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

void SelectWholeTextBeforeFirstHeader() {
    file.groupFound = true;
    file.groupBegin = 0;
    file.groupEnd = file.text.size();
    SettingsLine line;
    for (std::size_t pos = 0; pos < file.text.size();) {
        const std::size_t start = pos;
        if (ParseSettingsLine(NextSettingsLine(file.text, &pos), &line) && line.header) {
            file.groupEnd = start;
            break;
        }
    }
}

}  // namespace

bool OpenSettingsFile(const std::string &fileName) {
    CloseSettingsFile();
    std::string bytes;
    try {
        if (!ReadWholeFile(fileName, &bytes)) return false;
    } catch (const std::bad_alloc &) {
        return false;
    }
    return OpenSettingsFromMemory(std::move(bytes));
}

bool ReadSettingsFileBytes(const std::string &fileName, std::string *bytes) {
    try {
        return ReadWholeFile(fileName, bytes);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

bool OpenSettingsFromMemory(std::string bytes) {
    CloseSettingsFile();
    if (bytes.size() > kMaxSettingsFileBytes) return false;
    file.open = true;
    try {
        file.text = SettingsBytesToUtf8(std::move(bytes));
    } catch (const std::bad_alloc &) {
        file.text.clear();  // open, but without lines: every read gives its default
    }
    SelectWholeTextBeforeFirstHeader();
    return true;
}

bool SelectSettingsGroup(const std::string &group) {
    if (!file.open) return false;
    file.indexed = false;
    file.slots.clear();
    if (group.empty()) {
        SelectWholeTextBeforeFirstHeader();
        return true;
    }
    file.groupFound = false;
    file.groupBegin = file.groupEnd = 0;
    SettingsLine line;
    for (std::size_t pos = 0; pos < file.text.size();) {
        const std::size_t start = pos;
        if (!ParseSettingsLine(NextSettingsLine(file.text, &pos), &line) || !line.header) {
            continue;
        }
        if (file.groupFound) {
            file.groupEnd = start;
            return true;
        }
        if (SameSettingsName(line.name, group)) {
            file.groupFound = true;
            file.groupBegin = file.groupEnd = pos < file.text.size() ? pos : file.text.size();
        }
    }
    if (file.groupFound) file.groupEnd = file.text.size();
    return file.groupFound;
}

std::string ReadSettingsString(const std::string &key, const std::string &defaultText) {
    if (!file.open || !file.groupFound) return defaultText;
    if (!file.indexed) {
        try {
            BuildIndex();
        } catch (const std::bad_alloc &) {
            file.slots.clear();
        }
    }
    SettingsLine line;
    bool found;
    if (file.indexed) {
        const std::size_t i = FindSlot(key);
        found = file.slots[i] != 0 && LineAt(file.slots[i] - 1, &line);
    } else {
        found = FindKeyByWalking(key, &line);
    }
    if (!found) return defaultText;
    return std::string(TrimBlanks(line.value));
}

void CloseSettingsFile() {
    file = OpenFile{};
}
