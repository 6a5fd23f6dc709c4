#include "id3v1.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace engine {
namespace {

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

std::optional<Id3v1Block> FindId3v1(const std::uint8_t *data, std::size_t size) {
    if (!data || size < 128) return std::nullopt;
    const std::uint8_t *tail = data + size - 128;
    if (std::memcmp(tail, "TAG", 3) != 0) return std::nullopt;
    Id3v1Block block;
    std::memcpy(block.data(), tail, block.size());
    return block;
}

std::optional<Id3v1Block> ReadId3v1(const std::string &path) {
    // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are read.
    Descriptor file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) return std::nullopt;
    struct stat info {};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 128)
        return std::nullopt;
    std::uint8_t tail[128];
    if (pread(file.fd, tail, sizeof tail, info.st_size - 128) != static_cast<ssize_t>(sizeof tail))
        return std::nullopt;
    return FindId3v1(tail, sizeof tail);
}

}  // namespace engine
