// The FluidSynth decoder: the song that midi_file.h reads, sent message by message to a
// synthesizer that renders 44100 Hz stereo float between them. Opened on the user-interface
// thread, then used only by its stream's decoder thread; no lock. Time is counted in
// rendered frames, not on the wall clock, so the decoder can render ahead of playback.
// FluidSynth's own MIDI player is not used: it refuses files that other readers play, cannot
// play format 2 tracks one after another, and its seek leaves the notes held across the
// seek point silent.
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
struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

using SettingsPtr = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
using SynthPtr = std::unique_ptr<fluid_synth_t, SynthDeleter>;

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

// A song that sounds: some note starts before the end.
bool HasNotes(const MidiSong &song, double seconds) {
    for (const MidiEvent &event : song.events)
        if ((event.status & 0xF0) == 0x90 && event.data2 > 0 && event.seconds < seconds)
            return true;
    return false;
}

class MidiDecoder final : public Decoder {
  public:
    bool Open(const std::string &path);
    int Read(float *out, int max_frames) override;
    bool Seek(std::int64_t frame) override;
    bool Seekable() const override { return true; }
    std::int64_t LengthFrames() const override { return length_frames_; }

  private:
    std::int64_t FrameOf(const MidiEvent &event) const {
        return std::llround(event.seconds * kSampleRate);
    }
    void Send(const MidiEvent &event);
    void ChaseTo(std::int64_t frame);

    MidiSong song_;  // immutable after open
    SettingsPtr settings_;
    SynthPtr synth_;
    std::int64_t length_frames_ = 0;  // immutable after open
    std::int64_t rendered_ = 0;
    std::int64_t taken_ = 0;  // frames taken from the synthesizer since it was made
    std::size_t next_ = 0;    // the first event of song_ not yet sent to the synthesizer
};

bool MidiDecoder::Open(const std::string &path) {
    {
        std::vector<std::uint8_t> data;
        if (!ReadWholeFile(path, data)) return false;
        ByteSpan smf{0, data.size()};
        if (const auto inside = SmfInsideRiff(data.data(), data.size())) smf = *inside;
        auto song = ReadMidiSong(data.data() + smf.offset, smf.size);
        if (!song) return false;
        song_ = std::move(*song);
    }
    if (!(song_.seconds > 0 && song_.seconds <= kMaxMidiSeconds)) return false;
    length_frames_ = std::llround(song_.seconds * kSampleRate);
    // Nothing would ever sound: a stream of silence with a running clock helps nobody, so
    // the file counts as one that cannot be played.
    if (!HasNotes(song_, song_.seconds)) return false;

    SilenceFluidSynth();
    settings_.reset(new_fluid_settings());
    if (!settings_) return false;
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", kSampleRate);
    fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    // A large compressed SoundFont would otherwise be decoded whole on the user-interface
    // thread; this way only the instruments a song uses are loaded, on the decoder thread.
    fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading", 1);
    std::string soundfont = ChooseSoundFont(settings_.get());
    if (soundfont.empty()) return false;
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) return false;
    if (fluid_synth_sfload(synth_.get(), soundfont.c_str(), 1) == FLUID_FAILED) return false;
    return true;
}

// The synthesizer's answers are not checked: a note-off for a note that no longer sounds
// or a message for an instrument the SoundFont lacks fails, and nothing is to be done.
void MidiDecoder::Send(const MidiEvent &event) {
    fluid_synth_t *synth = synth_.get();
    int channel = event.status & 0x0F;
    switch (event.status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth, channel, event.data1);
            break;
        case 0x90:
            if (event.data2 > 0)
                fluid_synth_noteon(synth, channel, event.data1, event.data2);
            else
                fluid_synth_noteoff(synth, channel, event.data1);
            break;
        case 0xA0:
            fluid_synth_key_pressure(synth, channel, event.data1, event.data2);
            break;
        case 0xB0:
            fluid_synth_cc(synth, channel, event.data1, event.data2);
            break;
        case 0xC0:
            fluid_synth_program_change(synth, channel, event.data1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(synth, channel, event.data1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth, channel, event.data1 | (event.data2 << 7));
            break;
        default: {  // 0xF0
            const MidiSysex &sysex = song_.sysex[event.sysex];
            fluid_synth_sysex(
                synth, reinterpret_cast<const char *>(song_.sysex_bytes.data() + sysex.offset),
                static_cast<int>(sysex.length), nullptr, nullptr, nullptr, 0);
            break;
        }
    }
}

// Puts the synthesizer into the state the song has at `frame`: every message before it
// except the notes is sent again in its order (programs, banks, controllers, pitch bends,
// system exclusive), and the notes still sounding there start, each at its place among
// them so that it takes the program and bank it began with. A note released while the
// sustain pedal is down still sounds; its note-off is sent after it, and the synthesizer
// holds it for the pedal. Percussion (channel 10) is not restarted: its sounds are single
// strokes, and a stroke at the seek point is one the song does not have.
void MidiDecoder::ChaseTo(std::int64_t frame) {
    // What the synthesizer has rendered of its current block but not handed out belongs
    // to the old place in the song: taken and thrown away. Then the voices are stopped, and
    // one block is rendered (silence) so that they are gone before the replay begins: the
    // reset alone only releases them, as a note-off would, and a voice stopped but not yet
    // rendered is released again, ringing on, by a pedal or note-off of the replay
    // (FluidSynth 2.3).
    int block = std::max(fluid_synth_get_internal_bufsize(synth_.get()), 1);
    std::vector<float> scratch(static_cast<std::size_t>(block) * 2);
    auto discard = [&](int count) {
        fluid_synth_write_float(synth_.get(), count, scratch.data(), 0, 2, scratch.data(), 1, 2);
        taken_ += count;
    };
    if (taken_ % block != 0) discard(block - static_cast<int>(taken_ % block));
    fluid_synth_system_reset(synth_.get());
    fluid_synth_all_sounds_off(synth_.get(), -1);
    discard(block);
    const std::vector<MidiEvent> &events = song_.events;
    std::size_t end = 0;
    while (end < events.size() && FrameOf(events[end]) < frame)
        ++end;

    constexpr int kPercussion = 9;
    struct Note {
        std::int32_t on = -1;   // index of the note-on of the note sounding, -1 for none
        std::int32_t off = -1;  // index of its release under the pedal, -1 while held
    };
    std::vector<Note> notes(16 * 128);
    bool pedal[16] = {};
    auto release_sustained = [&](int channel) {
        for (int key = 0; key < 128; ++key)
            if (notes[channel * 128 + key].off >= 0) notes[channel * 128 + key] = Note{};
    };
    for (std::size_t i = 0; i < end; ++i) {
        const MidiEvent &event = events[i];
        int channel = event.status & 0x0F;
        int kind = event.status & 0xF0;
        auto index = static_cast<std::int32_t>(i);
        if (event.status == 0xF0) continue;
        if (kind == 0x90 && event.data2 > 0) {
            notes[channel * 128 + event.data1] = Note{index, -1};
        } else if (kind == 0x80 || kind == 0x90) {
            Note &note = notes[channel * 128 + event.data1];
            if (note.on >= 0 && note.off < 0) {
                if (pedal[channel])
                    note.off = index;
                else
                    note = Note{};
            }
        } else if (kind == 0xB0) {
            int controller = event.data1;
            if (controller == 64 || controller == 121) {
                pedal[channel] = controller == 64 && event.data2 >= 64;
                if (!pedal[channel]) release_sustained(channel);
            } else if (controller == 120) {  // all sound off
                for (int key = 0; key < 128; ++key)
                    notes[channel * 128 + key] = Note{};
            } else if (controller >= 123) {  // all notes off, and the mode changes with it
                for (int key = 0; key < 128; ++key) {
                    Note &note = notes[channel * 128 + key];
                    if (note.on >= 0 && note.off < 0) {
                        if (pedal[channel])
                            note.off = index;
                        else
                            note = Note{};
                    }
                }
            }
        }
    }
    std::vector<std::int32_t> chased;
    for (int channel = 0; channel < 16; ++channel) {
        if (channel == kPercussion) continue;
        for (int key = 0; key < 128; ++key) {
            const Note &note = notes[channel * 128 + key];
            if (note.on < 0) continue;
            chased.push_back(note.on);
            if (note.off >= 0) chased.push_back(note.off);
        }
    }
    std::sort(chased.begin(), chased.end());
    auto wanted = chased.begin();
    for (std::size_t i = 0; i < end; ++i) {
        const MidiEvent &event = events[i];
        int kind = event.status & 0xF0;
        bool is_note = event.status != 0xF0 && (kind == 0x80 || kind == 0x90);
        if (!is_note) {
            Send(event);
        } else if (wanted != chased.end() && *wanted == static_cast<std::int32_t>(i)) {
            Send(event);
            ++wanted;
        }
    }
    next_ = end;
    rendered_ = frame;
}

int MidiDecoder::Read(float *out, int max_frames) {
    std::int64_t end = std::min(length_frames_, rendered_ + std::max(max_frames, 0));
    int produced = 0;
    while (rendered_ < end) {
        while (next_ < song_.events.size() && FrameOf(song_.events[next_]) <= rendered_)
            Send(song_.events[next_++]);
        std::int64_t until = end;
        if (next_ < song_.events.size()) until = std::min(until, FrameOf(song_.events[next_]));
        int count = static_cast<int>(until - rendered_);
        float *at = out + static_cast<std::ptrdiff_t>(produced) * 2;
        if (fluid_synth_write_float(synth_.get(), count, at, 0, 2, at, 1, 2) != FLUID_OK) break;
        produced += count;
        rendered_ += count;
        taken_ += count;
    }
    return produced;
}

bool MidiDecoder::Seek(std::int64_t frame) {
    if (frame < 0 || frame > length_frames_) return false;
    ChaseTo(frame);
    return true;
}

}  // namespace

bool LooksLikeMidi(const std::string &path) {
    if (!IsRegular(path.c_str())) return false;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    // A Standard MIDI File, or one inside a RIFF MIDI file (.rmi).
    char magic[12] = {};
    if (!file || std::fread(magic, 1, 12, file.get()) < 4) return false;
    return std::memcmp(magic, "MThd", 4) == 0 ||
           (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "RMID", 4) == 0);
}

std::unique_ptr<Decoder> OpenMidiDecoder(const std::string &path) {
    auto decoder = std::make_unique<MidiDecoder>();
    if (!decoder->Open(path)) return nullptr;
    return decoder;
}

}  // namespace engine
