// MIDI files through FluidSynth: length from the file's timing, seeks landing on the right
// moment of the song and sounding as the song does there, files that other readers give up
// on sounding as the same song written out properly. What the song should sound like comes
// from FluidSynth's own program rendering the whole file (fluidsynth -F).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "audio_engine.h"
#include "decoder.h"
#include "midi_bytes.h"
#include "test_media.h"
#include "test_servers.h"

namespace {

using midibytes::Bytes;
using midibytes::Track;
constexpr int kRate = 44100;

// The SoundFont the engine takes on Debian: FluidSynth's configured default when
// fluid-soundfont-gm is installed, else timgm6mb's.
std::string EngineSoundFont() {
    struct stat info {};
    if (stat("/usr/share/sounds/sf3/default-GM.sf3", &info) == 0)
        return "/usr/share/sounds/sf3/default-GM.sf3";
    return "/usr/share/sounds/sf2/default-GM.sf2";
}

// Interleaved stereo samples of a 16-bit WAV file; empty when it is not one.
std::vector<float> ReadStereoWav(const std::string &path) {
    Bytes bytes = testmedia::ReadBytes(path);
    auto word = [&](std::size_t at, int size) {
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | bytes[at + i];
        return value;
    };
    std::vector<float> samples;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return samples;
    bool stereo16 = false;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        std::uint32_t size = word(at + 4, 4);
        std::size_t body = at + 8;
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && body + 16 <= bytes.size())
            stereo16 = word(body + 2, 2) == 2 && word(body + 14, 2) == 16;
        if (std::memcmp(&bytes[at], "data", 4) == 0 && stereo16) {
            std::size_t end = std::min<std::size_t>(body + size, bytes.size());
            for (std::size_t i = body; i + 1 < end; i += 2)
                samples.push_back(static_cast<std::int16_t>(word(i, 2)) / 32768.0f);
            return samples;
        }
        at = body + size + (size & 1);
    }
    return samples;
}

// The whole song as FluidSynth's own player renders it.
std::vector<float> RenderWithFluidsynth(const testmedia::TempDir &dir, const Bytes &song) {
    std::string mid = dir.Path("reference.mid"), wav = dir.Path("reference.wav");
    if (!testmedia::WriteBytes(mid, song)) return {};
    int status = testservers::RunToEnd(
        {"/usr/bin/fluidsynth", "-ni", "-q", "-r", "44100", "-F", wav, EngineSoundFont(), mid},
        {.quiet = true});
    if (status != 0) return {};
    return ReadStereoWav(wav);
}

std::vector<float> Decode(engine::Decoder &decoder, std::int64_t frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * 2);
    std::int64_t done = 0;
    while (done < frames) {
        int count = decoder.Read(out.data() + done * 2,
                                 static_cast<int>(std::min<std::int64_t>(frames - done, 1024)));
        if (count <= 0) break;
        done += count;
    }
    out.resize(static_cast<std::size_t>(done) * 2);
    return out;
}

// Loudness of frames [first, first + count) in dB below full scale; -200 for silence.
double RmsDb(const std::vector<float> &samples, std::int64_t first, std::int64_t count) {
    double sum = 0;
    std::int64_t n = 0;
    for (std::int64_t i = first * 2; i < (first + count) * 2; ++i, ++n)
        if (i >= 0 && i < static_cast<std::int64_t>(samples.size())) sum += samples[i] * samples[i];
    if (n == 0 || sum <= 0) return -200;
    return 10 * std::log10(sum / n);
}

// Power at one frequency (Goertzel) of the left channel of frames [first, first + count).
double PowerAt(const std::vector<float> &samples, std::int64_t first, std::int64_t count,
               double frequency) {
    double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / kRate);
    double s1 = 0, s2 = 0;
    for (std::int64_t i = first; i < first + count; ++i) {
        double s0 = samples[i * 2] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

std::unique_ptr<engine::Decoder> OpenSong(const testmedia::TempDir &dir, const Bytes &song,
                                          const std::string &name = "song.mid") {
    std::string path = dir.Path(name);
    if (!testmedia::WriteBytes(path, song)) return nullptr;
    return engine::OpenMidiDecoder(path);
}

// Seconds from the decoder's current place to the first clearly audible sample.
double SecondsToSound(engine::Decoder &decoder, double limit) {
    std::vector<float> chunk(1024 * 2);
    long seen = 0;
    while (seen < limit * 44100) {
        int count = decoder.Read(chunk.data(), 1024);
        if (count <= 0) return -1;
        for (int i = 0; i < count * 2; ++i)
            if (std::abs(chunk[i]) > 0.01f) return (seen + i / 2) / 44100.0;
        seen += count;
    }
    return -1;
}

TEST(MidiPlayback, SongWithRest_SoundStartsAfterTheRest) {
    testmedia::TempDir dir;
    std::string path = dir.Path("rest.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(4, 4)));  // 2 s rest, 2 s notes
    auto decoder = engine::OpenMidiDecoder(path);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->LengthFrames(), 4 * 44100);
    EXPECT_NEAR(SecondsToSound(*decoder, 3.0), 2.0, 0.05);
}

TEST(MidiPlayback, SeekIntoRest_SoundStartsWhereTheSongSays) {
    testmedia::TempDir dir;
    std::string path = dir.Path("rest.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(4, 4)));
    auto decoder = engine::OpenMidiDecoder(path);
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(decoder->Seek(44100 * 3 / 2));
    EXPECT_NEAR(SecondsToSound(*decoder, 3.0), 0.5, 0.05);
    // Back to the start, after the song has been heard.
    ASSERT_TRUE(decoder->Seek(0));
    EXPECT_NEAR(SecondsToSound(*decoder, 3.0), 2.0, 0.05);
    EXPECT_FALSE(decoder->Seek(5 * 44100));
}

TEST(MidiPlayback, SeekThroughTheCalls_PositionLandsAndStreamEnds) {
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    testmedia::TempDir dir;
    std::string path = dir.Path("song.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(4)));
    HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(BASS_ChannelSetPosition(handle, 176400 * 3 / 2, BASS_POS_BYTE));
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle, 0)), 1.5, 0.05);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; },
                                     std::chrono::seconds(3)));
    // Half a second was left; a busy machine may stretch it a little, never shorten it.
    double left = testmedia::SecondsSince(start);
    EXPECT_GT(left, 0.3);
    EXPECT_LT(left, 1.2);
    BASS_StreamFree(handle);
}

// A RIFF MIDI file (.rmi) wraps the song in a "data" chunk beside others; it plays as the song.
TEST(MidiPlayback, RiffMidiFile_PlaysTheSongInside_DamagedOneRefused) {
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    testmedia::TempDir dir;
    const std::vector<std::uint8_t> smf = testmedia::SimpleMidi(4);
    auto chunk = [](const char *name, const std::vector<std::uint8_t> &body) {
        std::vector<std::uint8_t> out(name, name + 4);
        const auto n = static_cast<std::uint32_t>(body.size());
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
        out.insert(out.end(), body.begin(), body.end());
        if (body.size() % 2) out.push_back(0);
        return out;
    };
    std::vector<std::uint8_t> inner = {'R', 'M', 'I', 'D'};
    for (const auto &part : {chunk("INFO", {'x'}), chunk("data", smf)})
        inner.insert(inner.end(), part.begin(), part.end());
    const std::vector<std::uint8_t> rmi = chunk("RIFF", inner);
    const std::string path = dir.Path("song.rmi");
    ASSERT_TRUE(testmedia::WriteBytes(path, rmi));
    const HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(handle, 0u);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetLength(handle, 0)), 2.0, 0.05);
    BASS_StreamFree(handle);
    // The data chunk claims more than the file holds.
    std::vector<std::uint8_t> cut(rmi.begin(), rmi.end() - 10);
    ASSERT_TRUE(testmedia::WriteBytes(path, cut));
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0), 0u);
}

// Held chords on three channels, each with its own program, volume, expression and pan, a
// note kept by the sustain pedal and one that has ended: 5 s.
Bytes HeldChords() {
    Track organ, strings, piano;
    organ.At(0, {0xC0, 19}).At(0, {0xB0, 7, 70}).At(0, {0xB0, 10, 30});
    organ.At(0, {0x90, 60, 90}).At(96, {0xB0, 64, 127});
    organ.At(384, {0x90, 67, 90}).At(480, {0x80, 67, 0});  // kept by the pedal
    organ.At(3840 - 960, {0xB0, 64, 0}).At(0, {0x80, 60, 0}).End(960);
    strings.At(0, {0xC1, 19}).At(0, {0xB1, 7, 110}).At(0, {0x91, 52, 100}).At(0, {52 + 7, 90});
    strings.At(480, {0xB1, 11, 60});  // quieter
    strings.At(2880, {0x81, 52, 0}).At(0, {59, 0}).End();
    piano.At(0, {0xC2, 0}).At(0, {0x92, 72, 100}).At(480, {0x82, 72, 0}).End();
    return midibytes::File(1, 480, {organ, strings, piano});
}

TEST(MidiPlayback, SeekIntoHeldNotes_SoundsAsTheWholeSongDoesThere) {
    testmedia::TempDir dir;
    Bytes song = HeldChords();
    std::vector<float> whole = RenderWithFluidsynth(dir, song);
    ASSERT_GT(whole.size(), 4u * kRate * 2)
        << "fluidsynth (scripts/install-deps.sh) did not render";
    auto decoder = OpenSong(dir, song);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->LengthFrames(), 5 * kRate);
    for (double seconds : {1.2, 2.0, 2.8, 1.2}) {
        SCOPED_TRACE(seconds);
        std::int64_t at = std::llround(seconds * kRate);
        ASSERT_TRUE(decoder->Seek(at));
        std::vector<float> after = Decode(*decoder, kRate);
        // From 0.1 s on, past the new start of the notes.
        double heard = RmsDb(after, kRate / 10, kRate / 2);
        double expected = RmsDb(whole, at + kRate / 10, kRate / 2);
        ASSERT_GT(expected, -50);
        EXPECT_NEAR(heard, expected, 3.0);
    }
    // After the last note the song is silent, wherever it is reached from.
    ASSERT_TRUE(decoder->Seek(std::llround(4.6 * kRate)));
    EXPECT_LT(RmsDb(Decode(*decoder, kRate / 5), 0, kRate / 5), -60);
}

// A flute bent up a whole tone (the synthesizer's default range) before the seek point
// plays at the bent pitch after it.
TEST(MidiPlayback, SeekAfterPitchBend_KeepsTheBend) {
    testmedia::TempDir dir;
    Track flute;
    flute.At(0, {0xC0, 73}).At(0, {0x90, 69, 100}).At(480, {0xE0, 0x7F, 0x7F});
    flute.At(2400, {0x80, 69, 0}).End();
    Bytes song = midibytes::File(0, 480, {flute});
    auto decoder = OpenSong(dir, song);
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(decoder->Seek(2 * kRate));
    std::vector<float> after = Decode(*decoder, kRate / 2);
    double bent = PowerAt(after, kRate / 10, kRate / 4, 440.0 * std::pow(2.0, 2.0 / 12));
    double plain = PowerAt(after, kRate / 10, kRate / 4, 440.0);
    EXPECT_GT(bent, 10 * plain);
    std::vector<float> whole = RenderWithFluidsynth(dir, song);
    ASSERT_GT(whole.size(), 3u * kRate * 2);
    EXPECT_NEAR(RmsDb(after, kRate / 10, kRate / 4),
                RmsDb(whole, 2 * kRate + kRate / 10, kRate / 4), 3.0);
}

// Sustained chords for 3 s, with each of the oddities that made FluidSynth's player refuse
// a file; the song written out properly is what each of them should sound like.
std::vector<std::pair<std::string, Bytes>> OddFilesAndTheirSong(Bytes &written_out) {
    auto chords = [](Track &track, bool running_across, bool stray) {
        track.At(0, {0xC0, 19}).At(0, {0x90, 60, 100});
        if (running_across) {
            track.At(0, {0xFF, 0x06, 0x01, 'A'}).At(0, {64, 100});
            track.At(0, {0xF0, 0x03, 0x7D, 0x01, 0xF7}).At(0, {67, 100});
        } else {
            track.At(0, {0xFF, 0x06, 0x01, 'A'}).At(0, {0x90, 64, 100});
            track.At(0, {0xF0, 0x03, 0x7D, 0x01, 0xF7}).At(0, {0x90, 67, 100});
        }
        if (stray) track.At(480, {0xF6}).At(0, {0xFE});
        track.At(stray ? 2400 : 2880, {0x80, 60, 0}).At(0, {64, 0}).At(0, {67, 0}).End();
    };
    Track clean, running, stray;
    chords(clean, false, false);
    chords(running, true, false);
    chords(stray, false, true);
    written_out = midibytes::File(0, 480, {clean});
    Bytes unknown_chunk = midibytes::Header(0, 1, 480);
    midibytes::Append(unknown_chunk, midibytes::Chunk("XFIH", Bytes(20, 0x42)));
    midibytes::Append(unknown_chunk, midibytes::Chunk("MTrk", clean.bytes()));
    Bytes missing_byte(written_out.begin(), written_out.end() - 1);
    return {{"running status", midibytes::File(0, 480, {running})},
            {"unknown chunk", unknown_chunk},
            {"missing byte", missing_byte},
            {"stray system messages", midibytes::File(0, 480, {stray})}};
}

TEST(MidiPlayback, FilesOtherPlayersRefuse_SoundAsTheSongWrittenOut) {
    testmedia::TempDir dir;
    Bytes written_out;
    auto odd_files = OddFilesAndTheirSong(written_out);
    std::vector<float> whole = RenderWithFluidsynth(dir, written_out);
    ASSERT_GT(whole.size(), 2u * kRate * 2)
        << "fluidsynth (scripts/install-deps.sh) did not render";
    double expected = RmsDb(whole, 0, 3 * kRate);
    ASSERT_GT(expected, -40);
    for (const auto &[name, bytes] : odd_files) {
        SCOPED_TRACE(name);
        auto decoder = OpenSong(dir, bytes, name + ".mid");
        ASSERT_TRUE(decoder);
        EXPECT_EQ(decoder->LengthFrames(), 3 * kRate);
        std::vector<float> heard = Decode(*decoder, 4 * kRate);  // asks past the end
        EXPECT_EQ(heard.size(), 3u * kRate * 2);
        EXPECT_NEAR(RmsDb(heard, 0, 3 * kRate), expected, 1.5);
    }
}

// Two tracks of 4.5 s: the second is heard after the first, the stream lasts 9 s.
TEST(MidiPlayback, Format2_TracksOneAfterAnother) {
    testmedia::TempDir dir;
    Track first, second;
    first.At(0, {0xC0, 19}).At(0, {0x90, 60, 100}).At(4320, {0x80, 60, 0}).End();
    second.At(0, {0xC1, 19}).At(0, {0x91, 66, 100}).At(4320, {0x81, 66, 0}).End();
    auto decoder = OpenSong(dir, midibytes::File(2, 480, {first, second}));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->LengthFrames(), 9 * kRate);
    std::vector<float> heard = Decode(*decoder, 10 * kRate);
    ASSERT_EQ(heard.size(), 9u * kRate * 2);
    // Each track alone, not both at once: the second one's note (F sharp, no overtone of the
    // first one's C) starts at 4.5 s.
    double f_sharp = 369.99, c = 261.63;
    EXPECT_LT(PowerAt(heard, kRate, kRate / 2, f_sharp),
              0.01 * PowerAt(heard, 6 * kRate, kRate / 2, f_sharp));
    EXPECT_LT(PowerAt(heard, 6 * kRate, kRate / 2, c), 0.01 * PowerAt(heard, kRate, kRate / 2, c));
    EXPECT_GT(RmsDb(heard, 6 * kRate, kRate / 2), -40);
}

TEST(MidiPlayback, SongWithoutNotes_NoDecoderAndNoStream) {
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    testmedia::TempDir dir;
    Track controls, silent_notes;
    controls.At(0, {0xC0, 19}).At(0, {0xB0, 7, 100}).At(1920, {0xB0, 7, 90}).End();
    silent_notes.At(0, {0x90, 60, 0}).At(960, {0x80, 60, 0}).End(960);
    Track late;
    late.At(0, {0xFF, 0x2F, 0x00});  // a note only after the end of the track
    late.At(480, {0x90, 60, 100});
    for (const Bytes &song :
         {midibytes::File(0, 480, {controls}), midibytes::File(0, 480, {silent_notes}),
          midibytes::File(0, 480, {late})}) {
        std::string path = dir.Path("quiet.mid");
        ASSERT_TRUE(testmedia::WriteBytes(path, song));
        EXPECT_FALSE(engine::OpenMidiDecoder(path));
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0), 0u);
    }
}

}  // namespace
