// Lengths that hold: files whose headers claim another length than their sound has (a FLAC
// header's sample count, a WAV data size, an Ogg stream cut short, an ASF duration) show and
// publish the length that plays, within 50 ms, and the position never runs past it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "audio_engine.h"
#include "file_stream_test.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

constexpr double kTolerance = 0.05;

class LyingLengths : public FileStreamTest {
  protected:
    std::string Wav(const std::string &name, double seconds, int rate = 44100) {
        const std::string path = dir_.Path(name);
        EXPECT_TRUE(testmedia::WriteWav(path, rate, 2, testmedia::SampleKind::kInt16,
                                        testmedia::Sine(440, seconds, rate, 2, 0.5)));
        return path;
    }
    std::string Encoded(const std::string &name, double seconds, const std::string &args,
                        int rate = 44100) {
        const std::string path = dir_.Path(name);
        EXPECT_TRUE(testmedia::Ffmpeg(Wav(name + ".wav", seconds, rate), args, path));
        return path;
    }
    static double Length(HSTREAM handle) {
        return BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetLength(handle, BASS_POS_BYTE));
    }
    static double Position(HSTREAM handle) {
        return BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle, BASS_POS_BYTE));
    }
    // Plays to the end, watching that the position never passes the length; the position
    // at the end is what played.
    static double PlayToEnd(HSTREAM handle) {
        EXPECT_TRUE(BASS_ChannelPlay(handle, FALSE));
        bool ended = testmedia::WaitUntil(
            [&] {
                EXPECT_LE(Position(handle), Length(handle) + 1e-9);
                return BASS_ChannelIsActive(handle) == BASS_ACTIVE_STOPPED;
            },
            15s);
        EXPECT_TRUE(ended);
        return Position(handle);
    }
};

TEST_F(LyingLengths, FlacClaimingMoreSamples_LengthIsTheSoundsAtOnce) {
    std::string flac = Encoded("claims.flac", 0.418, "-c:a flac");
    // STREAMINFO's sample count (the low 36 bits of its bytes 10 to 17) times 485: 202.8 s.
    std::vector<std::uint8_t> bytes = testmedia::ReadBytes(flac);
    ASSERT_GT(bytes.size(), 26u);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "fLaC");
    std::uint64_t packed = 0;
    for (int i = 0; i < 8; ++i)
        packed = packed << 8 | bytes[18 + i];
    const std::uint64_t samples = (packed & ((1ull << 36) - 1)) * 485;
    packed = (packed & ~((1ull << 36) - 1)) | samples;
    for (int i = 7; i >= 0; --i, packed >>= 8)
        bytes[18 + i] = static_cast<std::uint8_t>(packed);
    ASSERT_TRUE(testmedia::WriteBytes(flac, bytes));

    const HSTREAM handle = Create(flac);
    ASSERT_NE(handle, 0u);
    // Short enough to be decoded to its end at once: the length holds before it plays.
    EXPECT_TRUE(testmedia::WaitUntil([&] { return Length(handle) < 1.0; }, 2s)) << Length(handle);
    EXPECT_NEAR(Length(handle), 0.418, kTolerance);
    EXPECT_NEAR(PlayToEnd(handle), Length(handle), kTolerance);
}

TEST_F(LyingLengths, WavClaimingMoreData_LengthIsTheSoundsAndSeeksStayWithin) {
    std::string wav = Wav("claims.wav", 3.0);
    std::vector<std::uint8_t> bytes = testmedia::ReadBytes(wav);
    // The "data" chunk's size: ten times what is there.
    std::size_t at = 12;
    while (at + 8 <= bytes.size() &&
           std::string(bytes.begin() + at, bytes.begin() + at + 4) != "data")
        at += 8 + (bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | bytes[at + 7] << 24);
    ASSERT_LE(at + 8, bytes.size());
    const std::uint32_t claimed = static_cast<std::uint32_t>(bytes.size() - at - 8) * 10;
    for (int i = 0; i < 4; ++i)
        bytes[at + 4 + i] = static_cast<std::uint8_t>(claimed >> (8 * i));
    ASSERT_TRUE(testmedia::WriteBytes(wav, bytes));

    const HSTREAM handle = Create(wav);
    ASSERT_NE(handle, 0u);
    EXPECT_NEAR(Length(handle), 3.0, kTolerance);
    // Beyond the sound, within what the header claims: refused.
    EXPECT_FALSE(BASS_ChannelSetPosition(handle, 20 * 176400, BASS_POS_BYTE));
    ASSERT_TRUE(BASS_ChannelSetPosition(handle, static_cast<QWORD>(2.5 * 176400) & ~QWORD{3},
                                        BASS_POS_BYTE));
    EXPECT_NEAR(PlayToEnd(handle), 3.0, kTolerance);
    EXPECT_NEAR(Length(handle), 3.0, kTolerance);
}

TEST_F(LyingLengths, OpusAndVorbis_LengthIsWhatPlays_AlsoWithTheTailCutOff) {
    struct Case {
        const char *name, *args;
        int rate;
    } cases[] = {{"whole.opus", "-c:a libopus -b:a 96k", 48000},
                 {"whole.ogg", "-c:a libvorbis -q:a 4", 44100}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string whole = Encoded(c.name, 6.0, c.args, c.rate);
        const HSTREAM handle = Create(whole);
        ASSERT_NE(handle, 0u);
        EXPECT_NEAR(Length(handle), 6.0, 0.002);  // the last granule, less Opus's pre-skip
        EXPECT_NEAR(PlayToEnd(handle), Length(handle), 0.002);
        // The last third of the file gone, the end of a page with it.
        std::vector<std::uint8_t> bytes = testmedia::ReadBytes(whole);
        bytes.resize(bytes.size() * 2 / 3 + 17);
        const std::string cut = dir_.Path(std::string("cut-") + c.name);
        ASSERT_TRUE(testmedia::WriteBytes(cut, bytes));
        const HSTREAM truncated = Create(cut);
        ASSERT_NE(truncated, 0u);
        EXPECT_LT(Length(truncated), 4.5);
        EXPECT_NEAR(PlayToEnd(truncated), Length(truncated), kTolerance);
    }
}

TEST_F(LyingLengths, WmaHeaderDuration_LengthIsWhatPlays) {
    const std::string wma = Encoded("short.wma", 0.84, "-c:a wmav2 -b:a 128k");
    // The file properties object's play duration (100 ns units, 64 bytes into it): doubled.
    std::vector<std::uint8_t> bytes = testmedia::ReadBytes(wma);
    const std::uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    auto object = std::search(bytes.begin(), bytes.end(), kFileProperties, kFileProperties + 16);
    ASSERT_LT(object + 72, bytes.end());
    std::uint64_t duration = 0;
    for (int i = 7; i >= 0; --i)
        duration = duration << 8 | object[64 + i];
    duration *= 2;
    for (int i = 0; i < 8; ++i, duration >>= 8)
        object[64 + i] = static_cast<std::uint8_t>(duration);
    ASSERT_TRUE(testmedia::WriteBytes(wma, bytes));
    const HSTREAM handle = Create(wma);
    ASSERT_NE(handle, 0u);
    EXPECT_TRUE(
        testmedia::WaitUntil([&] { return std::abs(Length(handle) - 0.84) < kTolerance; }, 2s))
        << Length(handle);
    EXPECT_NEAR(PlayToEnd(handle), 0.84, kTolerance);
}

}  // namespace
