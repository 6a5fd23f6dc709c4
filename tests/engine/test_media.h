// Media and helpers the engine's tests make for themselves: WAV files written here, MP3
// files encoded by the ffmpeg command or the LAME encoder, a MIDI file, a temporary folder,
// polling waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testmedia {

// The resident memory a test of bounded memory lets the process reach. The sanitizers'
// shadow memory and quarantine add hundreds of megabytes of their own; unbounded growth
// still shows as gigabytes.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr long kResidentBoundMb = 1000;
#else
inline constexpr long kResidentBoundMb = 250;
#endif
// What "at once" allows for work that is bounded in bytes, not in time: under the sanitizer
// every byte costs several times as much, and a loaded machine stretches it further. Still
// well short of a station's 5 s opening bound, which is what such work must not wait out.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr double kBoundedWorkSeconds = 4.0;
#else
inline constexpr double kBoundedWorkSeconds = 2.0;
#endif

// A folder under /tmp removed with everything in it when this goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string Path(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

enum class SampleKind { kInt8, kInt16, kInt24, kInt32, kFloat32 };

// Writes a WAV file; samples are interleaved, full scale at +-1.0.
bool WriteWav(const std::string &path, int rate, int channels, SampleKind kind,
              const std::vector<float> &samples);
// Interleaved samples of a sine of the given frequency and amplitude on every channel.
std::vector<float> Sine(double frequency, double seconds, int rate, int channels,
                        double amplitude = 1.0);
// Runs the ffmpeg command "ffmpeg -v error -y -i in <args> out"; true on success.
bool Ffmpeg(const std::string &in, const std::string &args, const std::string &out);
// Runs the LAME encoder "lame --quiet <args> in out"; true on success.
bool Lame(const std::string &in, const std::string &args, const std::string &out);
bool WriteBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);
std::vector<std::uint8_t> ReadBytes(const std::string &path);
// A format-0 MIDI file: one note a beat at 120 beats a minute for `beats` beats.
// With rest_beats, the first note starts only after that many beats of silence.
std::vector<std::uint8_t> SimpleMidi(int beats, int rest_beats = 0);

// Runs one disabled test of this program in a child process with extra environment
// settings (replacing ones of the same name) and returns its exit status, -1 when it did
// not exit normally within `limit`. Engine set-ups that last a process (the output driver)
// are tested this way.
int RunTestInChild(const std::string &test, const std::vector<std::string> &environment,
                   std::chrono::milliseconds limit = std::chrono::seconds(60));

// Polls until the condition holds or the time runs out; true when it held.
bool WaitUntil(const std::function<bool()> &condition, std::chrono::milliseconds limit);
double SecondsSince(std::chrono::steady_clock::time_point start);

// Mutates bytes the same way for the same variant number: flips, overwrites, truncation,
// repeats.
std::vector<std::uint8_t> Mutate(const std::vector<std::uint8_t> &input, std::uint32_t variant);

}  // namespace testmedia
