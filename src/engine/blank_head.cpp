#include "blank_head.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace engine {

namespace {

constexpr off_t kBlankHeadBytes = 1 << 20;

class File {
  public:
    // Not blocking: a name turned into a FIFO since it was looked at must not hold the open.
    explicit File(const std::string &path)
        : fd_(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {}
    ~File() {
        if (fd_ >= 0) close(fd_);
    }
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// Bytes of the ID3v2 tag at the file's start, its header and footer included; 0 without one.
off_t Id3v2Length(int fd) {
    std::array<unsigned char, 10> header{};
    if (pread(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()) ||
        std::memcmp(header.data(), "ID3", 3) != 0)
        return 0;
    off_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] & 0x80) return 0;  // no synchsafe size: no tag
        size = size << 7 | header[i];
    }
    const bool footer = header[5] & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

}  // namespace

bool HeadIsBlank(const std::string &path) {
    const File file(path);
    struct stat info {};
    if (file.fd() < 0 || fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    const off_t start = Id3v2Length(file.fd());
    if (start >= info.st_size) return false;  // a tag alone, or an empty file: the decoders say
    const off_t end = std::min<off_t>(info.st_size, start + kBlankHeadBytes);
    // A hole reads as zeros without touching the disk: where the file system can tell, the
    // first data past the start shows how much of the head is one.
    off_t at = start;
    const off_t data = lseek(file.fd(), start, SEEK_DATA);
    if (data < 0 && errno == ENXIO) return true;  // nothing but a hole to the end
    if (data >= end) return true;
    if (data > start) at = data;
    std::array<unsigned char, 65536> buffer{};
    while (at < end) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(end - at, buffer.size()));
        const ssize_t got = pread(file.fd(), buffer.data(), want, at);
        if (got <= 0) return false;
        const auto *first = buffer.data();
        if (std::any_of(first, first + got, [](unsigned char b) { return b != 0; })) return false;
        at += got;
    }
    return true;
}

}  // namespace engine
