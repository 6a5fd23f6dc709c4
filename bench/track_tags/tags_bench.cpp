// Reading a track's tags when it starts, on the window's thread: a 10 MB file with a 1 MB
// cover, MP3 (ID3v2) and FLAC (Vorbis comment and picture block); meant to take under 5 ms.
// The cover's way to the desktop: the cache file named, found written already.
//
//   build/bench/track_tags/tags_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "background_writer.h"
#include "cover_art.h"
#include "scratch_folder.h"
#include "track_tags.h"

namespace {

constexpr std::size_t kFileBytes = 10 * 1024 * 1024, kCoverBytes = 1024 * 1024;

ScratchFolder &Folder() {
    static ScratchFolder scratch;
    return scratch;
}

std::string BigEndian(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

std::string Cover() {
    std::string cover = std::string("\xFF\xD8\xFF\xE0", 4);
    for (std::size_t i = cover.size(); i < kCoverBytes; ++i)
        cover += static_cast<char>((i * 2654435761u) >> 13);
    return cover;
}

// Audio frames to fill the file: MPEG-1 layer III, 128 kbit/s, 44100 Hz, 417 bytes each.
std::string Mp3Frames(std::size_t bytes) {
    std::string frame = std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\x55');
    std::string out;
    while (out.size() + frame.size() <= bytes)
        out += frame;
    return out;
}

const std::string &Mp3File() {
    static const std::string path = [] {
        auto frame = [](const std::string &id, const std::string &body) {
            return id + BigEndian(static_cast<std::uint32_t>(body.size()), 4) +
                   std::string(2, '\0') + body;
        };
        const std::string frames = frame("TIT2", std::string(1, '\3') + "Звезда по имени Солнце") +
                                   frame("TPE1", std::string(1, '\3') + "Кино") +
                                   frame("TALB", std::string(1, '\3') + "Последний герой") +
                                   frame("APIC", std::string("\0image/jpeg\0\3\0", 14) + Cover());
        const auto size = static_cast<std::uint32_t>(frames.size());
        std::string tag = "ID3" + std::string("\3\0\0", 3);
        for (int shift : {21, 14, 7, 0})
            tag += static_cast<char>((size >> shift) & 0x7F);
        tag += frames;
        const std::string file = Folder().Path() + "big.mp3";
        std::ofstream(file, std::ios::binary) << tag << Mp3Frames(kFileBytes - tag.size());
        return file;
    }();
    return path;
}

const std::string &FlacFile() {
    static const std::string path = [] {
        auto block = [](int type, const std::string &body, bool last) {
            return static_cast<char>(type | (last ? 0x80 : 0)) +
                   BigEndian(static_cast<std::uint32_t>(body.size()), 3) + body;
        };
        // 44100 Hz, 2 channels, 16 bits, 10 minutes of samples.
        std::string info =
            BigEndian(4096, 2) + BigEndian(4096, 2) + BigEndian(0, 3) + BigEndian(0, 3);
        const std::uint64_t samples = 44100ull * 600;
        const std::uint64_t packed = (44100ull << 44) | (1ull << 41) | (15ull << 36) | samples;
        info += BigEndian(static_cast<std::uint32_t>(packed >> 32), 4) +
                BigEndian(static_cast<std::uint32_t>(packed), 4) + std::string(16, '\0');
        auto le = [](std::uint32_t v) {
            return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                               static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
        };
        std::string comment = le(6) + "volnar";
        const char *fields[] = {"TITLE=Звезда по имени Солнце", "ARTIST=Кино",
                                "ALBUM=Последний герой", "TRACKNUMBER=2"};
        comment += le(4);
        for (const char *field : fields)
            comment += le(static_cast<std::uint32_t>(std::string(field).size())) + field;
        const std::string cover = Cover();
        const std::string picture = BigEndian(3, 4) + BigEndian(10, 4) + "image/jpeg" +
                                    BigEndian(0, 4) + BigEndian(600, 4) + BigEndian(600, 4) +
                                    BigEndian(24, 4) + BigEndian(0, 4) +
                                    BigEndian(static_cast<std::uint32_t>(cover.size()), 4) + cover;
        const std::string head =
            "fLaC" + block(0, info, false) + block(4, comment, false) + block(6, picture, true);
        const std::string file = Folder().Path() + "big.flac";
        std::ofstream(file, std::ios::binary) << head << std::string("\xFF\xF8", 2)
                                              << std::string(kFileBytes - head.size() - 2, '\x33');
        return file;
    }();
    return path;
}

void ReadTags(benchmark::State &state, const std::string &path) {
    std::size_t cover = 0;
    for (auto _ : state) {
        const TrackTags tags = ReadTrackTags(path);
        cover = tags.picture.size();
        benchmark::DoNotOptimize(tags.title.data());
    }
    state.counters["cover_bytes"] = static_cast<double>(cover);
}

void BM_ReadTrackTags_10MbMp3With1MbCover(benchmark::State &state) {
    ReadTags(state, Mp3File());
}
BENCHMARK(BM_ReadTrackTags_10MbMp3With1MbCover)->Unit(benchmark::kMillisecond);

void BM_ReadTrackTags_10MbFlacWith1MbCover(benchmark::State &state) {
    ReadTags(state, FlacFile());
}
BENCHMARK(BM_ReadTrackTags_10MbFlacWith1MbCover)->Unit(benchmark::kMillisecond);

// What a track's start adds besides: the cover's cache file named and found there already
// (the first start hands it to the writer's thread and does not wait for it).
void BM_CoverFileFor_1MbCoverAlreadyCached(benchmark::State &state) {
    const TrackTags tags = ReadTrackTags(Mp3File());
    const std::string cache = Folder().Path() + "cache/";
    CoverFileFor(tags, Mp3File(), cache);
    FinishSavedStateWrites();
    for (auto _ : state)
        benchmark::DoNotOptimize(CoverFileFor(tags, Mp3File(), cache));
}
BENCHMARK(BM_CoverFileFor_1MbCoverAlreadyCached)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
