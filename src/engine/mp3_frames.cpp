// Frame headers only: the walk reads four bytes a frame (and the tags' and the information
// frame's few fields), so a 100 MB file is mapped and walked in milliseconds. Every field is
// untrusted; sizes are checked against the bytes there are before they are used.
#include "mp3_frames.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "mapping_guard.h"

namespace engine {
namespace {

// Layer III bitrates in kbit/s by index, for MPEG-1 and for MPEG-2 and 2.5.
constexpr int kBitrates[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

// Junk tolerated before the first frame when no tag explains it.
constexpr std::size_t kMaxLeadingJunk = 64 * 1024;
// How far ahead of the walk the bytes are asked for, in steps of a cache line.
constexpr std::size_t kPrefetchBytes = 64 * 1024;
constexpr std::size_t kCacheLine = 64;
// Frames that must follow one another for a first frame found in junk to count.
constexpr int kFramesToTrustInJunk = 4;
// Junk between two frames beyond which the stream is taken to have ended: what follows is
// not its sound (a download preallocated with zeros, bytes appended to the file), and
// walking it would read a file of any size to its end.
constexpr std::size_t kMaxJunkBetweenFrames = 1024 * 1024;
// The file's pages are mapped in ahead of the walk this much at a time, so a walk that ends
// early has read no more than that beyond its end.
constexpr std::size_t kMapInStep = 8 * 1024 * 1024;

std::uint32_t Big32(const std::uint8_t *p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t SyncSafe(const std::uint8_t *p) {
    return std::uint32_t{p[0] & 0x7Fu} << 21 | std::uint32_t{p[1] & 0x7Fu} << 14 |
           std::uint32_t{p[2] & 0x7Fu} << 7 | (p[3] & 0x7Fu);
}

std::uint32_t Little32(const std::uint8_t *p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

struct Header {
    int bytes = 0;
    int sample_rate = 0;
    int samples = 0;
    int side_info = 0;  // bytes of side information after the header
};

bool ParseHeader(std::uint32_t h, Header *out) {
    if ((h & 0xFFE00000u) != 0xFFE00000u) return false;
    const int version = (h >> 19) & 3;  // 0: MPEG-2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    const int layer = (h >> 17) & 3;    // 1: Layer III
    const int bitrate_index = (h >> 12) & 15;
    const int rate_index = (h >> 10) & 3;
    if (version == 1 || layer != 1 || rate_index == 3) return false;
    const bool mpeg1 = version == 3;
    const int kbps = kBitrates[mpeg1 ? 0 : 1][bitrate_index];
    if (kbps == 0) return false;  // free format or a forbidden index
    int rate = kSampleRates[rate_index];
    if (version == 2) rate /= 2;
    if (version == 0) rate /= 4;
    const bool mono = ((h >> 6) & 3) == 3;
    out->sample_rate = rate;
    out->samples = mpeg1 ? 1152 : 576;
    out->bytes = (mpeg1 ? 144000 : 72000) * kbps / rate + static_cast<int>((h >> 9) & 1);
    out->side_info = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return true;
}

// The stretch of the file that tags at its ends leave for audio.
struct Region {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Tags before the audio: ID3v2 (one or several, with or without footer) and APEv2 headers.
std::size_t SkipLeadingTags(const std::uint8_t *data, std::size_t begin, std::size_t end) {
    for (;;) {
        const std::size_t left = end - begin;
        const std::uint8_t *p = data + begin;
        if (left >= 10 && std::memcmp(p, "ID3", 3) == 0 && p[3] != 0xFF && p[4] != 0xFF &&
            (p[6] | p[7] | p[8] | p[9]) < 0x80) {
            std::uint64_t size = 10 + std::uint64_t{SyncSafe(p + 6)} + ((p[5] & 0x10) ? 10 : 0);
            if (size > left) return end;
            begin += size;
            continue;
        }
        if (left >= 32 && std::memcmp(p, "APETAGEX", 8) == 0 && (p[23] & 0x20)) {
            std::uint64_t size = 32 + std::uint64_t{Little32(p + 12)};
            if (size > left) return end;
            begin += size;
            continue;
        }
        return begin;
    }
}

// Tags after the audio: ID3v1, APEv2, Lyrics3 v2 and ID3v2 with a footer, in any order.
std::size_t StripTrailingTags(const std::uint8_t *data, std::size_t begin, std::size_t end) {
    for (;;) {
        const std::size_t left = end - begin;
        const std::uint8_t *tail = data + end;
        std::uint64_t size = 0;
        if (left >= 128 && std::memcmp(tail - 128, "TAG", 3) == 0) {
            size = 128;
        } else if (left >= 32 && std::memcmp(tail - 32, "APETAGEX", 8) == 0) {
            size = std::uint64_t{Little32(tail - 32 + 12)} + ((tail[-32 + 23] & 0x80) ? 32 : 0);
            if (size < 32) return end;
        } else if (left >= 15 && std::memcmp(tail - 9, "LYRICS200", 9) == 0) {
            // Six digits give the size of the block before them; they and the mark follow.
            for (int i = 0; i < 6; ++i) {
                const std::uint8_t digit = tail[-15 + i];
                if (digit < '0' || digit > '9') return end;
                size = size * 10 + (digit - '0');
            }
            size += 15;
        } else if (left >= 20 && std::memcmp(tail - 10, "3DI", 3) == 0) {
            size = 20 + std::uint64_t{SyncSafe(tail - 10 + 6)};
        } else {
            return end;
        }
        if (size > left) return end;
        end -= size;
    }
}

bool SameStream(std::uint32_t h, std::uint32_t fixed) {
    return (h & kMp3FixedHeaderMask) == fixed;
}

// Whether a frame of the stream starts at `at` and `count` frames follow one another from
// there (or the run reaches the region's end exactly).
bool FramesChainFrom(const std::uint8_t *data, std::size_t at, std::size_t end, std::uint32_t fixed,
                     int count) {
    for (int i = 0; i < count; ++i) {
        if (at == end && i > 0) return true;
        if (end - at < 4) return false;
        const std::uint32_t h = Big32(data + at);
        Header header;
        if (!SameStream(h, fixed) || !ParseHeader(h, &header)) return false;
        if (static_cast<std::size_t>(header.bytes) > end - at) return false;
        at += header.bytes;
    }
    return true;
}

// The next offset at or after `from` where a frame of the stream starts and a second one
// follows it; `end` when there is none.
std::size_t Resync(const std::uint8_t *data, std::size_t from, std::size_t end,
                   std::uint32_t fixed) {
    const std::size_t stream_end = end;
    if (end - from > kMaxJunkBetweenFrames) end = from + kMaxJunkBetweenFrames;
    while (from + 4 <= end) {
        const void *found = std::memchr(data + from, 0xFF, end - from - 3);
        if (!found) return stream_end;
        from = static_cast<std::size_t>(static_cast<const std::uint8_t *>(found) - data);
        if (FramesChainFrom(data, from, stream_end, fixed, 2)) return from;
        ++from;
    }
    return stream_end;
}

// The Xing/Info or VBRI header in the first frame, and the LAME extension after Xing.
// Returns true when the frame is such an information frame (no audio of its own).
bool ReadInformationFrame(const std::uint8_t *frame, const Header &header, Mp3FrameTable *table) {
    const std::size_t bytes = static_cast<std::size_t>(header.bytes);
    const std::size_t xing = 4 + static_cast<std::size_t>(header.side_info);
    if (xing + 8 <= bytes &&
        (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
        const std::uint32_t flags = Big32(frame + xing + 4);
        std::size_t at = xing + 8;
        if (flags & 1) {
            if (at + 4 > bytes) return true;
            table->header_frames = Big32(frame + at);
            at += 4;
        }
        if (flags & 2) at += 4;    // stream bytes
        if (flags & 4) at += 100;  // seek table
        if (flags & 8) at += 4;    // quality
        // The LAME extension: encoder name (9), revision, lowpass, peak (4), two gains (2 each),
        // flags, bitrate, then 12 bits of delay and 12 of padding.
        if (at + 24 <= bytes &&
            (std::memcmp(frame + at, "LAME", 4) == 0 || std::memcmp(frame + at, "Lavf", 4) == 0 ||
             std::memcmp(frame + at, "Lavc", 4) == 0)) {
            const std::uint8_t *gaps = frame + at + 21;
            table->gapless = true;
            table->encoder_delay = (gaps[0] << 4) | (gaps[1] >> 4);
            table->encoder_padding = ((gaps[1] & 0x0F) << 8) | gaps[2];
        }
        return true;
    }
    constexpr std::size_t kVbri = 4 + 32;
    if (kVbri + 18 <= bytes && std::memcmp(frame + kVbri, "VBRI", 4) == 0) {
        table->header_frames = Big32(frame + kVbri + 14);
        return true;
    }
    return false;
}

#ifdef MADV_POPULATE_READ
constexpr int kPopulateRead = MADV_POPULATE_READ;
#else
constexpr int kPopulateRead = 22;  // Linux 5.14; older kernels refuse it harmlessly
#endif

// RAII for the file mapping of a scan, guarded against the file shrinking meanwhile.
class Mapping {
  public:
    Mapping(int fd, std::size_t size) : size_(size) {
        void *p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            data_ = static_cast<const std::uint8_t *>(p);
            madvise(p, size, MADV_SEQUENTIAL);
            guard_.emplace(p, size);
        }
    }
    ~Mapping() {
        guard_.reset();  // no fault of this range is caught once it is unmapped
        if (data_) munmap(const_cast<std::uint8_t *>(data_), size_);
    }
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    // Null when the file cannot be mapped, or read safely.
    const std::uint8_t *data() const { return guard_ && guard_->Active() ? data_ : nullptr; }
    bool FileShrank() const { return guard_ && guard_->Faulted(); }
    // Fills the page tables for bytes [from, to) now rather than a fault at a time; without
    // the kernel's support the pages still come on first touch.
    void MapIn(std::size_t from, std::size_t to) const {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        from -= from % page;
        if (to > from) madvise(const_cast<std::uint8_t *>(data_) + from, to - from, kPopulateRead);
    }

  private:
    const std::uint8_t *data_ = nullptr;
    std::size_t size_;
    std::optional<MappingGuard> guard_;
};

class FileCloser {
  public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser() {
        if (fd_ >= 0) close(fd_);
    }
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;

  private:
    int fd_;
};

}  // namespace

std::int64_t Mp3FrameTable::FirstAudioSample() const {
    if (!gapless) return 0;
    return std::min<std::int64_t>(encoder_delay + kMp3DecoderDelay, DecodedSamples());
}

std::int64_t Mp3FrameTable::EndAudioSample() const {
    const std::int64_t decoded = DecodedSamples();
    if (!gapless || cut_short) return decoded;
    // Padding shorter than the decoder's delay would end the audio past the decoded samples.
    const std::int64_t end =
        std::min<std::int64_t>(decoded - encoder_padding + kMp3DecoderDelay, decoded);
    return std::max(end, FirstAudioSample());
}

int Mp3FrameBytes(const std::uint8_t *header) {
    Header parsed;
    return ParseHeader(Big32(header), &parsed) ? parsed.bytes : 0;
}

namespace {

// The scan; `map_in` learns each stretch of the audio frames before the walk reads it, once
// the bytes are known to be MP3.
template <typename MapIn>
std::optional<Mp3FrameTable> Scan(const std::uint8_t *data, std::size_t size, MapIn map_in) {
    // Offsets are kept in 32 bits.
    if (!data || size > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    Region region;
    region.begin = SkipLeadingTags(data, 0, size);
    region.end = StripTrailingTags(data, region.begin, size);

    // The first frame: at once after the tags, or a little later behind junk when a longer
    // run of frames vouches for it.
    std::size_t first = region.begin;
    std::uint32_t fixed = 0;
    const std::size_t junk_end = std::min(region.end, region.begin + kMaxLeadingJunk);
    for (;; ++first) {
        if (first + 4 > junk_end) return std::nullopt;
        if (data[first] != 0xFF) {
            const void *next = std::memchr(data + first, 0xFF, junk_end - first);
            if (!next) return std::nullopt;
            first = static_cast<std::size_t>(static_cast<const std::uint8_t *>(next) - data);
            if (first + 4 > junk_end) return std::nullopt;
        }
        const std::uint32_t h = Big32(data + first);
        fixed = h & kMp3FixedHeaderMask;
        const int needed = first == region.begin ? 3 : kFramesToTrustInJunk;
        if (FramesChainFrom(data, first, region.end, fixed, needed)) break;
    }

    Mp3FrameTable table;
    Header header;
    ParseHeader(Big32(data + first), &header);
    table.sample_rate = header.sample_rate;
    table.samples_per_frame = header.samples;
    table.fixed_header = fixed;
    table.offsets.reserve((region.end - first) / static_cast<std::size_t>(header.bytes) + 16);

    std::size_t mapped = first;
    std::size_t at = first;
    if (ReadInformationFrame(data + first, header, &table)) at += header.bytes;
    // Each header's place is known only from the one before it, so every read would wait for
    // memory; asking for the bytes ahead keeps the walk at the speed of a sequential read.
    std::size_t prefetched = at;
    while (at + 4 <= region.end) {
        if (at + kMapInStep / 2 >= mapped && mapped < region.end) {
            const std::size_t from = std::max(mapped, at);
            mapped = std::min(region.end, from + kMapInStep);
            map_in(from, mapped);
        }
        for (const std::size_t ahead = std::min(region.end, at + kPrefetchBytes);
             prefetched < ahead; prefetched += kCacheLine)
            __builtin_prefetch(data + prefetched);
        const std::uint32_t h = Big32(data + at);
        if (SameStream(h, fixed) && ParseHeader(h, &header)) {
            if (static_cast<std::size_t>(header.bytes) <= region.end - at) {
                table.offsets.push_back(static_cast<std::uint32_t>(at));
                at += header.bytes;
                continue;
            }
            table.cut_short = true;
        }
        // A second ID3v2 tag inside the stream (joined files) is skipped whole.
        if (region.end - at >= 10 && std::memcmp(data + at, "ID3", 3) == 0) {
            const std::size_t skipped = SkipLeadingTags(data, at, region.end);
            if (skipped > at) {
                at = skipped;
                continue;
            }
        }
        at = Resync(data, at + 1, region.end, fixed);
    }
    if (table.offsets.empty()) return std::nullopt;
    return table;
}

}  // namespace

std::optional<Mp3FrameTable> ScanMp3Frames(const std::uint8_t *data, std::size_t size) {
    return Scan(data, size, [](std::size_t, std::size_t) {});
}

std::optional<Mp3FrameTable> ScanMp3File(int fd) {
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        return std::nullopt;
    return ScanMp3FileOfSize(fd, static_cast<std::uint64_t>(info.st_size));
}

std::optional<Mp3FrameTable> ScanMp3FileOfSize(int fd, std::uint64_t size) {
    if (fd < 0 || size == 0 || size > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    Mapping mapping(fd, static_cast<std::size_t>(size));
    if (!mapping.data()) return std::nullopt;
    // Only an MP3's frames are mapped in ahead, in one go: the walk's look-ahead then finds
    // them in memory. A WAV file costs no more than its first bytes.
    std::optional<Mp3FrameTable> table =
        Scan(mapping.data(), static_cast<std::size_t>(size),
             [&mapping](std::size_t from, std::size_t to) { mapping.MapIn(from, to); });
    // Shorter than it was measured: the table would describe bytes the file no longer
    // holds. The stream then plays without one, as far as the file goes.
    if (mapping.FileShrank()) return std::nullopt;
    return table;
}

std::optional<Mp3FrameTable> ScanMp3File(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    FileCloser closer(fd);
    return ScanMp3File(fd);
}

}  // namespace engine
