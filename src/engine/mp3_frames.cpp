// Frame headers only: the walk reads four bytes a frame (and the tags' and the information
// frame's few fields), so a 100 MB file is mapped and walked in milliseconds once it is in
// memory, but in seconds from a cold disk. Opening a file therefore walks only its head; the
// stream's decoder thread walks the rest in steps (mp3_decoder.cpp). A walk is used by one
// thread at a time; only the opening's byte count is shared (an atomic). Every field is
// untrusted; sizes are checked against the bytes there are before they are used.
#include "mp3_frames.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "engine_probe.h"
#include "mapping_guard.h"
#include "steady_clock.h"

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
// The same for a walk that keeps to a time or byte bound: it looks at its bounds once a
// stretch, and a stretch of a cold disk is read in a few milliseconds.
constexpr std::size_t kBoundedMapInStep = 256 * 1024;

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

// How far the latest opening's walk read; see LastMp3OpeningWalkBytes.
std::atomic<std::uint64_t> g_opening_walk_bytes{0};

// The walk's beginning in the `size` bytes at `data`: the tags at either end, the first
// frame (at once after the tags, or a little later behind junk when a longer run of frames
// vouches for it) and the information frame. False when no MP3 stream starts there.
bool BeginWalk(const std::uint8_t *data, std::size_t size, Mp3Walk *walk) {
    // Offsets are kept in 32 bits.
    if (!data || size > std::numeric_limits<std::uint32_t>::max()) return false;
    Region region;
    region.begin = SkipLeadingTags(data, 0, size);
    region.end = StripTrailingTags(data, region.begin, size);

    std::size_t first = region.begin;
    std::uint32_t fixed = 0;
    const std::size_t junk_end = std::min(region.end, region.begin + kMaxLeadingJunk);
    for (;; ++first) {
        if (first + 4 > junk_end) return false;
        if (data[first] != 0xFF) {
            const void *next = std::memchr(data + first, 0xFF, junk_end - first);
            if (!next) return false;
            first = static_cast<std::size_t>(static_cast<const std::uint8_t *>(next) - data);
            if (first + 4 > junk_end) return false;
        }
        const std::uint32_t h = Big32(data + first);
        fixed = h & kMp3FixedHeaderMask;
        const int needed = first == region.begin ? 3 : kFramesToTrustInJunk;
        if (FramesChainFrom(data, first, region.end, fixed, needed)) break;
    }

    Mp3FrameTable &table = walk->table;
    Header header;
    ParseHeader(Big32(data + first), &header);
    table.sample_rate = header.sample_rate;
    table.samples_per_frame = header.samples;
    table.fixed_header = fixed;
    table.offsets.reserve((region.end - first) / static_cast<std::size_t>(header.bytes) + 16);
    walk->file_size = size;
    walk->first_frame = first;
    walk->audio_end = region.end;
    walk->at = first;
    if (ReadInformationFrame(data + first, header, &table)) walk->at += header.bytes;
    return true;
}

// Walks from walk->at to the end of the audio, or until `pause` (asked with the walk's
// place before each stretch of `step` bytes is mapped in) says to stop for now; `map_in`
// learns each stretch before the walk reads it. Returns how far the walk may have read.
template <typename MapIn, typename Pause>
std::size_t WalkFrames(const std::uint8_t *data, Mp3Walk *walk, std::size_t step, MapIn map_in,
                       Pause pause) {
    Mp3FrameTable &table = walk->table;
    const std::size_t end = walk->audio_end;
    const std::uint32_t fixed = table.fixed_header;
    std::size_t at = walk->at;
    std::size_t mapped = at;
    std::size_t reach = at;
    // Each header's place is known only from the one before it, so every read would wait for
    // memory; asking for the bytes ahead keeps the walk at the speed of a sequential read.
    std::size_t prefetched = at;
    Header header;
    while (at + 4 <= end) {
        if (at + step / 2 >= mapped && mapped < end) {
            if (pause(at)) {
                walk->at = at;
                return std::max(reach, mapped);
            }
            const std::size_t from = std::max(mapped, at);
            mapped = std::min(end, from + step);
            map_in(from, mapped);
        }
        for (const std::size_t ahead = std::min(end, at + kPrefetchBytes); prefetched < ahead;
             prefetched += kCacheLine)
            __builtin_prefetch(data + prefetched);
        const std::uint32_t h = Big32(data + at);
        if (SameStream(h, fixed) && ParseHeader(h, &header)) {
            if (static_cast<std::size_t>(header.bytes) <= end - at) {
                table.offsets.push_back(static_cast<std::uint32_t>(at));
                at += header.bytes;
                continue;
            }
            table.cut_short = true;
        }
        // A second ID3v2 tag inside the stream (joined files) is skipped whole.
        if (end - at >= 10 && std::memcmp(data + at, "ID3", 3) == 0) {
            const std::size_t skipped = SkipLeadingTags(data, at, end);
            if (skipped > at) {
                at = skipped;
                continue;
            }
        }
        reach = std::max(reach, std::min(end, at + 1 + kMaxJunkBetweenFrames));
        at = Resync(data, at + 1, end, fixed);
    }
    walk->at = std::min(at, end);
    walk->done = true;
    return std::max(std::min(reach, end), mapped);
}

// The file has become `size` bytes long, shorter than the walk knew it: the table keeps the
// frames that still lie wholly inside it (a frame ends at the latest where the next one
// starts, the last within the largest frame's size), and the walk goes on to the new end,
// which cuts the stream short (no padding is trimmed there).
void ShortenWalk(Mp3Walk *walk, std::uint64_t size) {
    constexpr std::uint64_t kLargestFrame = 1441;  // 320 kbit/s at 32000 Hz, padded
    std::vector<std::uint32_t> &offsets = walk->table.offsets;
    std::size_t keep = 0;
    while (keep < offsets.size()) {
        const std::uint64_t frame_end =
            keep + 1 < offsets.size() ? offsets[keep + 1] : offsets[keep] + kLargestFrame;
        if (frame_end > size) break;
        ++keep;
    }
    offsets.resize(keep);
    walk->table.cut_short = true;
    walk->file_size = size;
    walk->audio_end = std::min<std::size_t>(walk->audio_end, static_cast<std::size_t>(size));
    walk->at = std::min(walk->at, walk->audio_end);
    walk->done = walk->at + 4 > walk->audio_end;
}

}  // namespace

std::int64_t Mp3Walk::ExpectedFrames() const {
    const auto found = static_cast<std::int64_t>(table.offsets.size());
    if (done || found == 0 || at <= first_frame) return found;
    const auto left = static_cast<std::int64_t>(audio_end > at ? audio_end - at : 0);
    // The smallest frame the stream can have: its lowest bitrate, unpadded.
    Header smallest;
    if (!ParseHeader(table.fixed_header | 0x1000u, &smallest) || smallest.bytes <= 0) return found;
    if (table.header_frames >= found && table.header_frames <= found + left / smallest.bytes)
        return table.header_frames;
    const auto walked = static_cast<std::int64_t>(at - first_frame);
    return found + left * found / walked;
}

std::uint64_t LastMp3OpeningWalkBytes() {
    return g_opening_walk_bytes.load(std::memory_order_relaxed);
}

std::optional<Mp3FrameTable> ScanMp3Frames(const std::uint8_t *data, std::size_t size) {
    Mp3Walk walk;
    if (!BeginWalk(data, size, &walk)) return std::nullopt;
    WalkFrames(
        data, &walk, kMapInStep, [](std::size_t, std::size_t) {},
        [](std::size_t) { return false; });
    if (walk.table.offsets.empty()) return std::nullopt;
    return std::move(walk.table);
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
    Mp3Walk walk;
    if (!BeginWalk(mapping.data(), static_cast<std::size_t>(size), &walk)) return std::nullopt;
    // Only an MP3's frames are mapped in ahead, a big stretch at a time: the walk's look-ahead
    // then finds them in memory. A WAV file costs no more than its first bytes.
    WalkFrames(
        mapping.data(), &walk, kMapInStep,
        [&mapping](std::size_t from, std::size_t to) { mapping.MapIn(from, to); },
        [](std::size_t) { return false; });
    // Shorter than it was measured: the table would describe bytes the file no longer
    // holds. The stream then plays without one, as far as the file goes.
    if (mapping.FileShrank() || walk.table.offsets.empty()) return std::nullopt;
    return std::move(walk.table);
}

std::optional<Mp3FrameTable> ScanMp3File(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    FileCloser closer(fd);
    return ScanMp3File(fd);
}

std::optional<Mp3Walk> BeginMp3Walk(int fd, std::uint64_t size, const Mp3WalkBounds &bounds) {
    if (fd < 0 || size == 0 || size > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    Mapping mapping(fd, static_cast<std::size_t>(size));
    Mp3Walk walk;
    if (!BeginWalk(mapping.data(), static_cast<std::size_t>(size), &walk)) return std::nullopt;
    // Mapped in a short stretch at a time, so that the clock is looked at often enough from a
    // cold disk.
    const std::size_t reach = WalkFrames(
        mapping.data(), &walk, kBoundedMapInStep,
        [&mapping](std::size_t from, std::size_t to) { mapping.MapIn(from, to); },
        [&walk, &bounds](std::size_t at) {
            const std::size_t walked = at - walk.first_frame;
            if (walked >= bounds.max_bytes) return true;
            return walk.table.offsets.size() >= kMp3FramesBeforePause &&
                   walked >= bounds.sure_bytes && NowNs() >= bounds.deadline_ns;
        });
    g_opening_walk_bytes.store(reach, std::memory_order_relaxed);
    if (mapping.FileShrank()) return std::nullopt;
    // A head of junk with a few frames in it: no stream whose rest is worth walking for.
    if (!walk.done && walk.table.offsets.size() < kMp3FramesBeforePause) {
        walk.done = true;
        walk.table.cut_short = true;
    }
    if (walk.table.offsets.empty()) return std::nullopt;
    return walk;
}

void ContinueMp3Walk(int fd, Mp3Walk *walk, std::size_t max_bytes) {
    if (walk->done) return;
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size < 0) {
        walk->done = true;  // no longer to be told from a file that shrank; nothing more read
        walk->table.cut_short = true;
        return;
    }
    if (static_cast<std::uint64_t>(info.st_size) < walk->file_size) {
        ShortenWalk(walk, static_cast<std::uint64_t>(info.st_size));
        if (walk->done) return;
    }
    // The whole file is mapped again for each step (a mapping costs only its address range):
    // the walk holds no mapping, and no guard's slot, between its steps.
    Mapping mapping(fd, static_cast<std::size_t>(walk->file_size));
    if (!mapping.data()) {
        // Nothing more can be read of it now; the frames found are all it will have.
        walk->done = true;
        walk->table.cut_short = true;
        return;
    }
    const std::size_t start = walk->at;
    WalkFrames(
        mapping.data(), walk, kBoundedMapInStep,
        [&mapping](std::size_t from, std::size_t to) { mapping.MapIn(from, to); },
        [start, max_bytes](std::size_t at) { return at - start >= max_bytes; });
    // What the walk found from the lost pages on was read from zeros: it is dropped, and the
    // next step goes on from the new end (or the walk ends there).
    if (mapping.FileShrank()) {
        const bool measured = fstat(fd, &info) == 0 && info.st_size >= 0;
        ShortenWalk(walk, measured
                              ? std::min(walk->file_size, static_cast<std::uint64_t>(info.st_size))
                              : 0);
    }
}

}  // namespace engine
