// Speed targets of the audio engine:
//   MP3 decoding           at least 200 times real time on one core
//   CPU while playing      under 1 % of one core for a 192 kbit/s MP3
//   the equaliser          under 2 % of one core more than without it, for one stream (its
//                          filters on one output buffer, and the process while it plays)
//   BASS_StreamCreateFile  under 10 ms for an MP3, also for a 10 MB VBR one without a header
//                          and for a 1 GB one, from memory or from a cold disk (its pages
//                          dropped from the page cache before each creation)
//   MP3 frame-header scan  under 50 ms for a 100 MB VBR file without a header
//   the FFT call           under 50 microseconds
//   play to first frame    under 30 ms from BASS_ChannelPlay to the device
//   station to first frame under 300 ms from BASS_StreamCreateURL to the device, for an MP3
//                          and an AAC station of a loopback Icecast server (Icecast itself
//                          takes about 300 ms to send its first byte), and of a loopback
//                          server of the benchmark's own that answers at once (the engine's
//                          own part)
// Media are made with the ffmpeg command in a temporary folder. Run with
// SDL_AUDIODRIVER=dummy (set here unless the environment names another driver).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio_engine.h"
#include "decoder.h"
#include "engine_probe.h"
#include "equalizer.h"
#include "mp3_frames.h"
#include "test_servers.h"

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
    std::string mb10, mb100, gb1;
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
        gb1 = Repeat(mb100, folder + "/bare-vbr-1gb.mp3", 1000 * 1000 * 1000);
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

// The process's CPU time while the MP3 plays, past its start, against the time it played.
double CpuPercentWhilePlayingMp3(std::chrono::seconds measured) {
    HSTREAM handle = BASS_StreamCreateFile(FALSE, TheMedia().mp3.c_str(), 0, 0, 0);
    BASS_ChannelPlay(handle, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the start
    const double cpu_before = ProcessCpuSeconds();
    const auto wall_before = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(measured);
    const double cpu = ProcessCpuSeconds() - cpu_before;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();
    BASS_StreamFree(handle);
    return 100.0 * cpu / wall;
}

void BM_CpuWhilePlaying192kMp3(benchmark::State &state) {
    InitEngine();
    for (auto _ : state) {
        state.counters["cpu_percent_of_one_core"] =
            CpuPercentWhilePlayingMp3(std::chrono::seconds(5));
    }
}
BENCHMARK(BM_CpuWhilePlaying192kMp3)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// One output buffer (2048 frames, 46 ms) through the equaliser's filters, all ten bands of
// the rock preset on (Arg 1) or off (Arg 0); percent_of_one_core is the thread's CPU time
// for a buffer against the buffer's own length.
void BM_EqualizerBuffer(benchmark::State &state) {
    constexpr int kFrames = 2048;
    engine::EqSettings settings;
    const DWORD preset = state.range(0) ? BASS_EQ_ROCK : BASS_EQ_OFF;
    engine::DesignEqualizer(BASS_EQ_PRESETS[preset], BASS_EQ_BANDS, &settings);
    settings.generation = 1;
    std::vector<float> frames(kFrames * 2);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = 0.3f * static_cast<float>(std::sin(i * 0.01));
    const std::vector<float> source = frames;
    engine::EqState eq;
    timespec before{}, after{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    for (auto _ : state) {
        std::copy(source.begin(), source.end(), frames.begin());
        engine::RunEqualizer(eq, settings, frames.data(), kFrames);
        benchmark::DoNotOptimize(frames.data());
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    const double cpu = (after.tv_sec - before.tv_sec) + (after.tv_nsec - before.tv_nsec) / 1e9;
    state.counters["percent_of_one_core"] =
        100.0 * cpu / static_cast<double>(state.iterations()) / (kFrames / 44100.0);
}
BENCHMARK(BM_EqualizerBuffer)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The process while one MP3 plays, the equaliser off (Arg 0) or at the rock preset (Arg 1).
void BM_CpuWhilePlayingWithEqualizer(benchmark::State &state) {
    InitEngine();
    const DWORD preset = state.range(0) ? BASS_EQ_ROCK : BASS_EQ_OFF;
    BASS_SetEqualizer(BASS_EQ_PRESETS[preset], BASS_EQ_BANDS);
    for (auto _ : state) {
        state.counters["cpu_percent_of_one_core"] =
            CpuPercentWhilePlayingMp3(std::chrono::seconds(10));
    }
    BASS_SetEqualizer(nullptr, 0);
}
BENCHMARK(BM_CpuWhilePlayingWithEqualizer)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The creation of a file stream alone, timed again and again (each one freed untimed).
void TimeStreamCreation(benchmark::State &state, const char *path) {
    InitEngine();
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

void BM_StreamCreateFileMp3(benchmark::State &state) {
    TimeStreamCreation(state, TheMedia().mp3.c_str());
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
    TimeStreamCreation(state, TheBareVbr().mb10.c_str());
}
BENCHMARK(BM_StreamCreateFileBareVbr10MB)->UseManualTime()->Unit(benchmark::kMillisecond);

// A 1 GB VBR MP3 without a header, its pages in memory (Arg 0) or dropped from the page
// cache before each creation (Arg 1: a cold disk, as far as this machine's disk is one). The
// stream of the previous round is freed first, untimed, so that its decoder thread's walk
// does not bring the pages back meanwhile. walked_mb: what the creation walked of the file.
void BM_StreamCreateFileBareVbr1GB(benchmark::State &state) {
    InitEngine();
    const std::string &path = TheBareVbr().gb1;
    const bool cold = state.range(0) != 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open");
        return;
    }
    if (!cold) {
        // Read once, so that every round finds the whole file in memory.
        auto table = engine::ScanMp3File(path);
        if (!table) state.SkipWithError("no frames");
    }
    double walked = 0;
    for (auto _ : state) {
        if (cold) posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        const auto start = std::chrono::steady_clock::now();
        HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        walked = static_cast<double>(engine::LastMp3OpeningWalkBytes()) / 1e6;
        if (!handle) {
            state.SkipWithError("cannot create");
            break;
        }
        BASS_StreamFree(handle);
    }
    close(fd);
    state.counters["walked_mb"] = walked;
}
BENCHMARK(BM_StreamCreateFileBareVbr1GB)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

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

// An Icecast station of the codec on 127.0.0.1, started on first use and stopped when the
// program ends; its address is empty when it did not start.
const testservers::IcecastStation &StationOf(const std::string &codec) {
    static std::map<std::string, std::unique_ptr<testservers::IcecastStation>> stations;
    std::unique_ptr<testservers::IcecastStation> &station = stations[codec];
    if (!station) {
        testservers::StationOptions options;
        options.codec = codec;
        station = std::make_unique<testservers::IcecastStation>(
            TheMedia().folder + "/icecast-" + codec + ".json", options);
    }
    return *station;
}

// A station that answers at once: every connection gets an Icecast-like head and ten seconds
// of the tone in the codec, then is closed. Lives as long as the program.
class InstantStation {
  public:
    explicit InstantStation(const std::string &codec) {
        const std::string file = TheMedia().folder + "/instant." + codec;
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:"
            "duration=10 -ac 2 " +
            std::string(codec == "aac" ? "-c:a aac -b:a 96k -f adts" : "-c:a libmp3lame -f mp3") +
            " '" + file + "'";
        if (std::system(command.c_str()) != 0) return;
        std::ifstream in(file, std::ios::binary);
        body_.assign(std::istreambuf_iterator<char>(in), {});
        type_ = codec == "aac" ? "audio/aac" : "audio/mpeg";
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
            listen(listener_, 8) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        url_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/live";
        std::thread([this] { Serve(); }).detach();
    }
    const std::string &Url() const { return url_; }

  private:
    void Serve() {
        for (;;) {
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            char request[4096];
            if (recv(fd, request, sizeof request, 0) > 0) {
                const std::string head =
                    "HTTP/1.0 200 OK\r\nContent-Type: " + type_ + "\r\nicy-name: bench\r\n\r\n";
                const std::string out = head + body_;
                for (std::size_t sent = 0; sent < out.size();) {
                    const ssize_t n = send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0) break;
                    sent += static_cast<std::size_t>(n);
                }
            }
            close(fd);
        }
    }

    int listener_ = -1;
    std::string body_, type_, url_;
};

void StationStartToFirstFrame(benchmark::State &state, const std::string &url) {
    InitEngine();
    if (url.empty()) {
        state.SkipWithError("no station to play");
        return;
    }
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::int64_t start_ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
        HSTREAM handle = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
        if (!handle) {
            state.SkipWithError("the station did not open");
            return;
        }
        BASS_ChannelPlay(handle, FALSE);
        std::int64_t first = 0;
        while ((first = engine::FirstFrameNs(handle)) == 0) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        state.SetIterationTime(first ? (first - start_ns) / 1e9 : 5.0);
        BASS_StreamFree(handle);
    }
}

void BM_StationStartToFirstFrameMp3(benchmark::State &state) {
    StationStartToFirstFrame(state, StationOf("mp3").url());
}
BENCHMARK(BM_StationStartToFirstFrameMp3)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_StationStartToFirstFrameAac(benchmark::State &state) {
    StationStartToFirstFrame(state, StationOf("aac").url());
}
BENCHMARK(BM_StationStartToFirstFrameAac)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_InstantStationStartToFirstFrameMp3(benchmark::State &state) {
    static const InstantStation station("mp3");
    StationStartToFirstFrame(state, station.Url());
}
BENCHMARK(BM_InstantStationStartToFirstFrameMp3)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_InstantStationStartToFirstFrameAac(benchmark::State &state) {
    static const InstantStation station("aac");
    StationStartToFirstFrame(state, station.Url());
}
BENCHMARK(BM_InstantStationStartToFirstFrameAac)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
