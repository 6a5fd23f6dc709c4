#include "test_media.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <thread>

extern char **environ;

namespace testmedia {

TempDir::TempDir() {
    char pattern[] = "/tmp/volnar-engine-XXXXXX";
    const char *made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (path_ != "/tmp") std::filesystem::remove_all(path_, ignored);
}

namespace {

void Put(std::vector<std::uint8_t> &out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<std::uint8_t> &out, const char *text) {
    while (*text)
        out.push_back(static_cast<std::uint8_t>(*text++));
}

}  // namespace

bool WriteWav(const std::string &path, int rate, int channels, SampleKind kind,
              const std::vector<float> &samples) {
    int bits = kind == SampleKind::kInt8    ? 8
               : kind == SampleKind::kInt16 ? 16
               : kind == SampleKind::kInt24 ? 24
                                            : 32;
    int bytes = bits / 8;
    std::vector<std::uint8_t> out;
    std::uint32_t data_size = static_cast<std::uint32_t>(samples.size() * bytes);
    PutText(out, "RIFF");
    Put(out, 36 + data_size, 4);
    PutText(out, "WAVEfmt ");
    Put(out, 16, 4);
    Put(out, kind == SampleKind::kFloat32 ? 3 : 1, 2);
    Put(out, channels, 2);
    Put(out, rate, 4);
    Put(out, rate * channels * bytes, 4);
    Put(out, channels * bytes, 2);
    Put(out, bits, 2);
    PutText(out, "data");
    Put(out, data_size, 4);
    for (float sample : samples) {
        double s = std::clamp(static_cast<double>(sample), -1.0, 1.0);
        switch (kind) {
            case SampleKind::kInt8:
                out.push_back(static_cast<std::uint8_t>(std::lround(128 + s * 127)));
                break;
            case SampleKind::kInt16:
                Put(out, static_cast<std::uint32_t>(std::lround(s * 32767)), 2);
                break;
            case SampleKind::kInt24:
                Put(out, static_cast<std::uint32_t>(std::lround(s * 8388607)), 3);
                break;
            case SampleKind::kInt32:
                Put(out, static_cast<std::uint32_t>(std::llround(s * 2147483647.0)), 4);
                break;
            case SampleKind::kFloat32: {
                float f = static_cast<float>(s);
                std::uint32_t raw;
                std::memcpy(&raw, &f, 4);
                Put(out, raw, 4);
                break;
            }
        }
    }
    return WriteBytes(path, out);
}

std::vector<float> Sine(double frequency, double seconds, int rate, int channels,
                        double amplitude) {
    std::size_t frames = static_cast<std::size_t>(std::llround(seconds * rate));
    std::vector<float> out(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        float value = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c)
            out[i * channels + c] = value;
    }
    return out;
}

namespace {

// FNV-1a, 64 bits: stable across runs and builds, unlike std::hash.
std::uint64_t Fnv1a(std::uint64_t hash, const void *data, std::size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

// Runs an encoder command that turns the file `in` into `out`, through the run's media cache
// (VOLNAR_TEST_MEDIA_CACHE, a folder under the build that CTest names): an encoding of the
// same input bytes with the same command was made once in this build and is copied from
// there. Each CTest test is a process of its own, so without the cache every test of a
// fixture encoded its media again. Without the variable (a test program run by hand) the
// command simply runs. `recipe` is the command without its paths: what is made depends only on it,
// the input's bytes and the output's extension.
bool EncodeCached(const std::string &recipe, const std::string &command, const std::string &in,
                  const std::string &out) {
    const char *cache = std::getenv("VOLNAR_TEST_MEDIA_CACHE");
    if (!cache || !*cache) return std::system(command.c_str()) == 0;

    std::uint64_t key = Fnv1a(0xcbf29ce484222325ull, recipe.data(), recipe.size());
    const std::vector<std::uint8_t> input = ReadBytes(in);
    if (input.empty()) return std::system(command.c_str()) == 0;
    key = Fnv1a(key, input.data(), input.size());
    const std::string extension = std::filesystem::path(out).extension().string();
    key = Fnv1a(key, extension.data(), extension.size());

    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(key));
    const std::filesystem::path cached = std::filesystem::path(cache) / (name + extension);
    std::error_code error;
    if (std::filesystem::copy_file(cached, out, std::filesystem::copy_options::overwrite_existing,
                                   error))
        return true;
    if (std::system(command.c_str()) != 0) return false;
    // Copied in under a name of this process's own and renamed, so that a test running
    // beside this one finds the whole file or none.
    std::filesystem::create_directories(cache, error);
    const std::filesystem::path part =
        cached.string() + ".part" + std::to_string(static_cast<long>(getpid()));
    if (std::filesystem::copy_file(out, part, std::filesystem::copy_options::overwrite_existing,
                                   error))
        std::filesystem::rename(part, cached, error);
    if (error) std::filesystem::remove(part, error);
    return true;
}

}  // namespace

bool Ffmpeg(const std::string &in, const std::string &args, const std::string &out) {
    return EncodeCached("ffmpeg " + args,
                        "ffmpeg -nostdin -v error -y -i '" + in + "' " + args + " '" + out + "'",
                        in, out);
}

bool Lame(const std::string &in, const std::string &args, const std::string &out) {
    return EncodeCached("lame " + args, "lame --quiet " + args + " '" + in + "' '" + out + "'", in,
                        out);
}

bool WriteBytes(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::vector<std::uint8_t> ReadBytes(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::uint8_t> SimpleMidi(int beats, int rest_beats) {
    std::vector<std::uint8_t> track;
    // Tempo 500000 us a quarter, then a note per beat on a piano.
    for (std::uint8_t b : {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 0x00})
        track.push_back(b);
    if (rest_beats > 0) {
        // A controller message after the rest carries the delta time of the silence.
        std::uint32_t ticks = static_cast<std::uint32_t>(rest_beats) * 480;
        track.push_back(static_cast<std::uint8_t>(0x80 | ((ticks >> 14) & 0x7F)));
        track.push_back(static_cast<std::uint8_t>(0x80 | ((ticks >> 7) & 0x7F)));
        track.push_back(static_cast<std::uint8_t>(ticks & 0x7F));
        for (std::uint8_t b : {0xB0, 0x07, 0x64})
            track.push_back(b);
    }
    for (int i = 0; i < beats; ++i) {
        for (std::uint8_t b : {0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x40})
            track.push_back(b);  // on at once, off 480 ticks later
    }
    for (std::uint8_t b : {0x00, 0xFF, 0x2F, 0x00})
        track.push_back(b);
    std::vector<std::uint8_t> out;
    PutText(out, "MThd");
    for (std::uint8_t b : {0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0})
        out.push_back(b);  // 480 tpq
    PutText(out, "MTrk");
    std::uint32_t size = static_cast<std::uint32_t>(track.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(size >> shift));
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

int RunTestInChild(const std::string &test, const std::vector<std::string> &environment,
                   std::chrono::milliseconds limit) {
    std::string exe(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    if (length <= 0) return -1;
    exe.resize(static_cast<std::size_t>(length));
    std::vector<std::string> env = environment;
    for (char **e = environ; *e; ++e) {
        std::string entry(*e);
        std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string &wanted : environment)
            replaced |= wanted.rfind(name, 0) == 0;
        if (!replaced) env.push_back(entry);
    }
    std::vector<char *> envp;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=" + test;
    std::string disabled = "--gtest_also_run_disabled_tests";
    char *argv[] = {exe.data(), filter.data(), disabled.data(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
    int status = 0;
    bool ended = WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitUntil(const std::function<bool()> &condition, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::uint8_t> Mutate(const std::vector<std::uint8_t> &input, std::uint32_t variant) {
    std::mt19937 random(variant);
    std::vector<std::uint8_t> out = input;
    int edits = 1 + static_cast<int>(random() % 16);
    for (int e = 0; e < edits && !out.empty(); ++e) {
        std::size_t at = random() % out.size();
        switch (random() % 5) {
            case 0:
                out[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                break;
            case 1:
                out[at] = static_cast<std::uint8_t>(random());
                break;
            case 2:
                out.resize(at);
                break;
            case 3: {
                std::size_t count = std::min<std::size_t>(random() % 64, out.size() - at);
                out.insert(out.begin() + at, out.begin() + at, out.begin() + at + count);
                break;
            }
            default:
                for (std::size_t i = at; i < std::min(out.size(), at + 8); ++i)
                    out[i] = 0xFF;
                break;
        }
    }
    return out;
}

}  // namespace testmedia
