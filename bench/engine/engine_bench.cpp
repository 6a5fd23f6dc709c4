// Speed targets of the audio engine:
//   MP3 decoding           at least 200 times real time on one core
//   CPU while playing      under 1 % of one core for a 192 kbit/s MP3
//   BASS_StreamCreateFile  under 10 ms for an MP3, also for a 10 MB VBR one without a header
//   MP3 frame-header scan  under 50 ms for a 100 MB VBR file without a header
//   the FFT call           under 50 microseconds
//   play to first frame    under 30 ms from BASS_ChannelPlay to the device
// Media are made with the ffmpeg command in a temporary folder. Run with
// SDL_AUDIODRIVER=dummy (set here unless the environment names another driver).
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio_engine.h"
#include "decoder.h"
#include "engine_probe.h"
#include "mp3_frames.h"

namespace {

struct Media {
    std::string folder;
    std::string mp3;  // three minutes, 192 kbit/s CBR, stereo
    Media() {
        folder = std::filesystem::temp_directory_path() / "volnar-engine-bench";
        std::filesystem::create_directories(folder);
        mp3 = folder + "/music192.mp3";
        if (!std::filesystem::exists(mp3)) {
            std::string command =
                "ffmpeg -nostdin -v error -y -f lavfi -i "
                "\"sine=frequency=440:sample_rate=44100:duration=180\" -f lavfi -i "
                "\"anoisesrc=color=pink:amplitude=0.2:sample_rate=44100:duration=180\" "
                "-filter_complex amix=inputs=2 -ac 2 -c:a libmp3lame -b:a 192k '" +
                mp3 + "'";
            if (std::system(command.c_str()) != 0) std::abort();
        }
    }
};

// VBR MP3 without Xing or VBRI header, made of one encoded piece repeated up to a size: the
// scan and the stream creation read the whole file's frame headers.
struct BareVbr {
    std::string mb10, mb100;
    BareVbr() {
        std::string folder = std::filesystem::temp_directory_path() / "volnar-engine-bench";
        std::filesystem::create_directories(folder);
        std::string piece = folder + "/bare-vbr-piece.mp3";
        if (!std::filesystem::exists(piece)) {
            std::string command =
                "ffmpeg -nostdin -v error -y -f lavfi -i "
                "\"sine=frequency=440:sample_rate=44100:duration=180\" -f lavfi -i "
                "\"anoisesrc=color=pink:amplitude=0.3:sample_rate=44100:duration=180\" "
                "-filter_complex amix=inputs=2 -ac 2 -c:a libmp3lame -q:a 0 -write_xing 0 "
                "-id3v2_version 0 '" +
                piece + "'";
            if (std::system(command.c_str()) != 0) std::abort();
        }
        mb10 = Repeat(piece, folder + "/bare-vbr-10mb.mp3", 10 * 1000 * 1000);
        mb100 = Repeat(piece, folder + "/bare-vbr-100mb.mp3", 100 * 1000 * 1000);
    }
    static std::string Repeat(const std::string &piece, const std::string &out,
                              std::uintmax_t size) {
        if (std::filesystem::exists(out) && std::filesystem::file_size(out) >= size) return out;
        std::filesystem::remove(out);
        while (!std::filesystem::exists(out) || std::filesystem::file_size(out) < size) {
            std::string command = "cat '" + piece + "' >> '" + out + "'";
            if (std::system(command.c_str()) != 0) std::abort();
        }
        return out;
    }
};

const BareVbr &TheBareVbr() {
    static const BareVbr media;
    return media;
}

const Media &TheMedia() {
    static const Media media;
    return media;
}

void InitEngine() {
    static const bool done = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        return true;
    }();
    (void)done;
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

void BM_Mp3DecodeSpeed(benchmark::State &state) {
    const std::string &path = TheMedia().mp3;
    std::vector<float> chunk(4096 * 2);
    double audio_seconds = 0;
    for (auto _ : state) {
        engine::CancelToken token;
        auto decoder = engine::OpenFileDecoder(path, &token);
        if (!decoder) {
            state.SkipWithError("cannot open");
            return;
        }
        long frames = 0;
        int count;
        while ((count = decoder->Read(chunk.data(), 4096)) > 0)
            frames += count;
        audio_seconds += frames / 44100.0;
    }
    state.counters["x_real_time"] = benchmark::Counter(audio_seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Mp3DecodeSpeed)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CpuWhilePlaying192kMp3(benchmark::State &state) {
    InitEngine();
    for (auto _ : state) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, TheMedia().mp3.c_str(), 0, 0, 0);
        BASS_ChannelPlay(handle, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the start
        double cpu_before = ProcessCpuSeconds();
        auto wall_before = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        double cpu = ProcessCpuSeconds() - cpu_before;
        double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();
        state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
        BASS_StreamFree(handle);
    }
}
BENCHMARK(BM_CpuWhilePlaying192kMp3)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_StreamCreateFileMp3(benchmark::State &state) {
    InitEngine();
    const char *path = TheMedia().mp3.c_str();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        HSTREAM handle = BASS_StreamCreateFile(FALSE, path, 0, 0, 0);
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (!handle) {
            state.SkipWithError("cannot create");
            return;
        }
        BASS_StreamFree(handle);
    }
}
BENCHMARK(BM_StreamCreateFileMp3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Mp3ScanBareVbr100MB(benchmark::State &state) {
    const std::string &path = TheBareVbr().mb100;
    std::size_t frames = 0;
    for (auto _ : state) {
        auto table = engine::ScanMp3File(path);
        if (!table) {
            state.SkipWithError("no frames");
            return;
        }
        frames = table->offsets.size();
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["megabytes"] = std::filesystem::file_size(path) / 1e6;
}
BENCHMARK(BM_Mp3ScanBareVbr100MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StreamCreateFileBareVbr10MB(benchmark::State &state) {
    InitEngine();
    const char *path = TheBareVbr().mb10.c_str();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        HSTREAM handle = BASS_StreamCreateFile(FALSE, path, 0, 0, 0);
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (!handle) {
            state.SkipWithError("cannot create");
            return;
        }
        BASS_StreamFree(handle);
    }
}
BENCHMARK(BM_StreamCreateFileBareVbr10MB)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FftCall(benchmark::State &state) {
    InitEngine();
    HSTREAM handle = BASS_StreamCreateFile(FALSE, TheMedia().mp3.c_str(), 0, 0, 0);
    BASS_ChannelPlay(handle, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<float> out(1026);
    for (auto _ : state) {
        benchmark::DoNotOptimize(BASS_ChannelGetData(handle, out.data(), BASS_DATA_FFT2048));
        benchmark::ClobberMemory();
    }
    BASS_StreamFree(handle);
}
BENCHMARK(BM_FftCall)->Unit(benchmark::kMicrosecond);

void BM_PlayToFirstFrame(benchmark::State &state) {
    InitEngine();
    for (auto _ : state) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, TheMedia().mp3.c_str(), 0, 0, 0);
        auto start = std::chrono::steady_clock::now();
        std::int64_t start_ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
        BASS_ChannelPlay(handle, FALSE);
        std::int64_t first = 0;
        while ((first = engine::FirstFrameNs(handle)) == 0) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(2)) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        state.SetIterationTime(first ? (first - start_ns) / 1e9 : 2.0);
        BASS_StreamFree(handle);
    }
}
BENCHMARK(BM_PlayToFirstFrame)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
