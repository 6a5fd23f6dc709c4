// The FluidSynth decoder: a Standard MIDI File played by fluid_player into a synth that
// renders 44100 Hz stereo float. Opened on the user-interface thread, then used only by its
// stream's decoder thread. The player follows rendered samples, not the wall clock, so the
// decoder can render ahead of playback.
#include <fluidsynth.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "decoder.h"
#include "midi_file.h"

namespace engine {
namespace {

struct SettingsDeleter {
    void operator()(fluid_settings_t *s) const { delete_fluid_settings(s); }
};
struct SynthDeleter {
    void operator()(fluid_synth_t *s) const { delete_fluid_synth(s); }
};
struct PlayerDeleter {
    void operator()(fluid_player_t *p) const { delete_fluid_player(p); }
};
struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

using SettingsPtr = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
using SynthPtr = std::unique_ptr<fluid_synth_t, SynthDeleter>;
using PlayerPtr = std::unique_ptr<fluid_player_t, PlayerDeleter>;

// Real MIDI files are small; anything bigger is not worth reading into memory.
constexpr long kMaxMidiBytes = 16 * 1024 * 1024;
// A "song" longer than a day is garbage timing data.
constexpr double kMaxMidiSeconds = 24 * 3600.0;

const char *const kSoundFontFallbacks[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};

bool IsRegular(const char *path) {
    struct stat info {};
    return path && *path && stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// FluidSynth prints to stderr by default; the player reports nothing.
void SilenceFluidSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = 0; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

std::string ChooseSoundFont(fluid_settings_t *settings) {
    char *configured = nullptr;
    std::string chosen;
    if (fluid_settings_dupstr(settings, "synth.default-soundfont", &configured) == FLUID_OK &&
        IsRegular(configured))
        chosen = configured;
    fluid_free(configured);
    if (!chosen.empty()) return chosen;
    for (const char *path : kSoundFontFallbacks)
        if (IsRegular(path)) return path;
    return {};
}

bool ReadWholeFile(const std::string &path, std::vector<std::uint8_t> &out) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    long size = std::ftell(file.get());
    if (size <= 0 || size > kMaxMidiBytes) return false;
    std::rewind(file.get());
    out.resize(static_cast<std::size_t>(size));
    return std::fread(out.data(), 1, out.size(), file.get()) == out.size();
}

class MidiDecoder final : public Decoder {
  public:
    bool Open(const std::string &path);
    int Read(float *out, int max_frames) override;
    bool Seek(std::int64_t frame) override;
    bool Seekable() const override { return true; }
    std::int64_t LengthFrames() const override { return length_frames_; }

  private:
    bool StartPlayer(std::int64_t tick);

    std::vector<std::uint8_t> data_;  // immutable after open
    MidiTiming timing_;               // immutable after open
    SettingsPtr settings_;
    SynthPtr synth_;
    PlayerPtr player_;
    std::int64_t length_frames_ = 0;  // immutable after open
    std::int64_t rendered_ = 0;
};

bool MidiDecoder::Open(const std::string &path) {
    if (!ReadWholeFile(path, data_)) return false;
    auto timing = ReadMidiTiming(data_.data(), data_.size());
    if (!timing) return false;
    timing_ = *timing;
    double seconds = MidiTicksToSeconds(timing_, timing_.total_ticks);
    if (!(seconds >= 0 && seconds <= kMaxMidiSeconds)) return false;
    length_frames_ = static_cast<std::int64_t>(std::llround(seconds * kSampleRate));

    SilenceFluidSynth();
    settings_.reset(new_fluid_settings());
    if (!settings_) return false;
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", kSampleRate);
    fluid_settings_setstr(settings_.get(), "player.timing-source", "sample");
    fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    // A large compressed SoundFont would otherwise be decoded whole on the user-interface
    // thread; this way only the instruments a song uses are loaded, on the decoder thread.
    fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading", 1);
    std::string soundfont = ChooseSoundFont(settings_.get());
    if (soundfont.empty()) return false;
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) return false;
    if (fluid_synth_sfload(synth_.get(), soundfont.c_str(), 1) == FLUID_FAILED) return false;
    return StartPlayer(0);
}

// A fresh player for every start: fluid_player cannot be rewound once it is done.
bool MidiDecoder::StartPlayer(std::int64_t tick) {
    player_.reset();
    fluid_synth_all_sounds_off(synth_.get(), -1);
    fluid_synth_system_reset(synth_.get());
    player_.reset(new_fluid_player(synth_.get()));
    if (!player_) return false;
    if (fluid_player_add_mem(player_.get(), data_.data(), data_.size()) != FLUID_OK) return false;
    if (tick > 0)
        fluid_player_seek(player_.get(),
                          static_cast<int>(std::min<std::int64_t>(tick, 0x7FFFFFFF)));
    return fluid_player_play(player_.get()) == FLUID_OK;
}

int MidiDecoder::Read(float *out, int max_frames) {
    std::int64_t left = length_frames_ - rendered_;
    int count = static_cast<int>(std::clamp<std::int64_t>(left, 0, max_frames));
    if (count == 0) return 0;
    if (fluid_synth_write_float(synth_.get(), count, out, 0, 2, out, 1, 2) != FLUID_OK) return 0;
    rendered_ += count;
    return count;
}

bool MidiDecoder::Seek(std::int64_t frame) {
    if (frame < 0 || frame > length_frames_) return false;
    std::int64_t tick = MidiSecondsToTicks(timing_, static_cast<double>(frame) / kSampleRate);
    if (!StartPlayer(tick)) return false;
    rendered_ = frame;
    return true;
}

}  // namespace

bool LooksLikeMidi(const std::string &path) {
    if (!IsRegular(path.c_str())) return false;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    char magic[4] = {};
    return file && std::fread(magic, 1, 4, file.get()) == 4 && std::memcmp(magic, "MThd", 4) == 0;
}

std::unique_ptr<Decoder> OpenMidiDecoder(const std::string &path) {
    auto decoder = std::make_unique<MidiDecoder>();
    if (!decoder->Open(path)) return nullptr;
    return decoder;
}

}  // namespace engine
