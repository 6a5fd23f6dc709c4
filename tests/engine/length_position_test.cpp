// Length and position in bytes of 16-bit stereo at 44100 Hz: exact lengths, positions that
// follow what is heard, seeks, pause and the end of a file.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "audio_engine.h"
#include "file_stream_test.h"
#include "test_media.h"

using testmedia::SampleKind;
using namespace std::chrono_literals;

namespace {

constexpr double kBytesPerSecond = 176400.0;

class LengthPosition : public FileStreamTest {
  protected:
    std::string Wav(const std::string &name, double seconds, int rate = 44100, int channels = 2) {
        std::string path = dir_.Path(name);
        EXPECT_TRUE(testmedia::WriteWav(path, rate, channels, SampleKind::kInt16,
                                        testmedia::Sine(440, seconds, rate, channels, 0.5)));
        return path;
    }
    double Seconds(HSTREAM handle, QWORD bytes) { return BASS_ChannelBytes2Seconds(handle, bytes); }
    double Position(HSTREAM handle) {
        return Seconds(handle, BASS_ChannelGetPosition(handle, BASS_POS_BYTE));
    }
    double Length(HSTREAM handle) {
        return Seconds(handle, BASS_ChannelGetLength(handle, BASS_POS_BYTE));
    }
};

TEST_F(LengthPosition, Wav44100Stereo_LengthWithinAThousandth) {
    HSTREAM handle = Create(Wav("a.wav", 7.25));
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(handle, BASS_POS_BYTE), QWORD(7.25 * 44100) * 4);
}

TEST_F(LengthPosition, Wav22050Mono_LengthCountsOutputFrames) {
    HSTREAM handle = Create(Wav("b.wav", 3.0, 22050, 1));
    ASSERT_NE(handle, 0u);
    EXPECT_NEAR(Length(handle), 3.0, 3.0 * 0.001);
    EXPECT_EQ(BASS_ChannelGetLength(handle, BASS_POS_BYTE) % 4, 0u);
}

TEST_F(LengthPosition, CbrMp3_LengthExactAtOnce) {
    std::string wav = Wav("c.wav", 10.0);
    std::string mp3 = dir_.Path("c.mp3");
    ASSERT_TRUE(testmedia::Ffmpeg(wav, "-c:a libmp3lame -b:a 192k", mp3));
    HSTREAM handle = Create(mp3);
    ASSERT_NE(handle, 0u);
    // The encoder's delay and padding, which the header counts, are no part of the length,
    // from the moment the stream exists.
    EXPECT_EQ(BASS_ChannelGetLength(handle, BASS_POS_BYTE), QWORD(10 * 44100) * 4);
}

TEST_F(LengthPosition, CbrMp3WithId3v1AndNoHeader_LengthWithinAThousandth) {
    std::string wav = Wav("d.wav", 10.0);
    std::string mp3 = dir_.Path("d.mp3");
    ASSERT_TRUE(testmedia::Ffmpeg(wav,
                                  "-c:a libmp3lame -b:a 192k -write_xing 0 -write_id3v1 1 "
                                  "-metadata artist=Someone",
                                  mp3));
    HSTREAM handle = Create(mp3);
    ASSERT_NE(handle, 0u);
    // Without the header the encoder's delay and padding are audible frames too (~50 ms).
    EXPECT_TRUE(testmedia::WaitUntil([&] { return std::abs(Length(handle) - 10.05) < 0.03; }, 2s))
        << Length(handle);
}

TEST_F(LengthPosition, VbrMp3WithXing_LengthExactAtOnce) {
    std::string wav = Wav("e.wav", 10.0);
    std::string mp3 = dir_.Path("e.mp3");
    ASSERT_TRUE(testmedia::Ffmpeg(wav, "-c:a libmp3lame -q:a 4", mp3));
    HSTREAM handle = Create(mp3);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(handle, BASS_POS_BYTE), QWORD(10 * 44100) * 4);
}

TEST_F(LengthPosition, VbrMp3WithoutXing_LengthCountedFromFrames) {
    // Loud noise then near silence: a bitrate guess from the first frames is far off.
    std::vector<float> samples = testmedia::Sine(440, 12.0, 44100, 2, 0.0001);
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < 44100 * 2 * 3; ++i) {
        noise = noise * 1664525u + 1013904223u;
        samples[i] = static_cast<float>(static_cast<std::int32_t>(noise) / 2147483648.0 * 0.8);
    }
    std::string wav = dir_.Path("f.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, SampleKind::kInt16, samples));
    std::string mp3 = dir_.Path("f.mp3");
    ASSERT_TRUE(testmedia::Ffmpeg(wav, "-c:a libmp3lame -q:a 2 -write_xing 0", mp3));
    HSTREAM handle = Create(mp3);
    ASSERT_NE(handle, 0u);
    // Counted from the frame headers when the stream is created.
    EXPECT_NEAR(Length(handle), 12.05, 0.05);
}

TEST_F(LengthPosition, Playing_PositionAdvancesAtRealTimeRate) {
    HSTREAM handle = Create(Wav("g.wav", 10.0));
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_BYTE), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil([&] { return Position(handle) > 0.1; }, 2s));
    double first = Position(handle);
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1500ms);
    double elapsed = testmedia::SecondsSince(start);
    double advanced = Position(handle) - first;
    // SDL's dummy driver sleeps whole milliseconds per buffer and so runs some 4 % fast.
    EXPECT_NEAR(advanced / elapsed, 1.0, 0.06);
}

TEST_F(LengthPosition, Paused_PositionFrozenAndActivityPaused) {
    HSTREAM handle = Create(Wav("h.wav", 10.0));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil([&] { return Position(handle) > 0.3; }, 2s));
    ASSERT_TRUE(BASS_ChannelPause(handle));
    EXPECT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_PAUSED);
    QWORD frozen = BASS_ChannelGetPosition(handle, BASS_POS_BYTE);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_BYTE), frozen);
    EXPECT_FALSE(BASS_ChannelPause(handle));  // already paused
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    EXPECT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelGetPosition(handle, BASS_POS_BYTE) > frozen; }, 1s));
    EXPECT_NEAR(Seconds(handle, frozen), Position(handle), 0.5);  // resumed, not restarted
}

TEST_F(LengthPosition, NeverPlayed_ActivityStoppedAndPositionZero) {
    HSTREAM handle = Create(Wav("i.wav", 1.0));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_BYTE), 0u);
    EXPECT_FALSE(BASS_ChannelPause(handle));
}

TEST_F(LengthPosition, EndOfFile_ActivityZeroWithin200ms) {
    HSTREAM handle = Create(Wav("j.wav", 1.0));
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_PLAYING);
    // From the moment 100 ms are left to hear, the end must show within 300 ms.
    ASSERT_TRUE(testmedia::WaitUntil([&] { return Position(handle) >= 0.9; }, 3s));
    auto near_end = std::chrono::steady_clock::now();
    EXPECT_NE(BASS_ChannelIsActive(handle), 0u);
    ASSERT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; }, 3s));
    EXPECT_LT(testmedia::SecondsSince(near_end), 0.3);
    EXPECT_GT(testmedia::SecondsSince(start), 0.9);
    EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_BYTE),
              BASS_ChannelGetLength(handle, BASS_POS_BYTE));
}

TEST_F(LengthPosition, EndedFilePlayedAgain_StartsFromBeginning) {
    HSTREAM handle = Create(Wav("k.wav", 0.3));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; }, 2s));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    EXPECT_LT(Position(handle), 0.1);
    EXPECT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_PLAYING);
}

TEST_F(LengthPosition, SeekWhilePlaying_PositionLandsAndContinues) {
    HSTREAM handle = Create(Wav("l.wav", 10.0));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(BASS_ChannelSetPosition(handle, QWORD(6 * 44100) * 4, BASS_POS_BYTE));
    EXPECT_NEAR(Position(handle), 6.0, 0.05);
    ASSERT_TRUE(testmedia::WaitUntil([&] { return Position(handle) > 6.2; }, 2s));
    EXPECT_LT(Position(handle), 6.6);
}

TEST_F(LengthPosition, SeekPastEndOrNegativeOrUnknownMode_FailsWithoutEffect) {
    HSTREAM handle = Create(Wav("m.wav", 2.0));
    QWORD length = BASS_ChannelGetLength(handle, BASS_POS_BYTE);
    EXPECT_FALSE(BASS_ChannelSetPosition(handle, length + 4, BASS_POS_BYTE));
    EXPECT_FALSE(BASS_ChannelSetPosition(handle, static_cast<QWORD>(-17640), BASS_POS_BYTE));
    EXPECT_FALSE(BASS_ChannelSetPosition(handle, 4, 7));
    EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_BYTE), 0u);
    EXPECT_EQ(BASS_ChannelGetLength(handle, 7), ~QWORD{0});
    EXPECT_TRUE(BASS_ChannelSetPosition(handle, length, BASS_POS_BYTE));
}

TEST_F(LengthPosition, SeekToEndWhilePlaying_Ends) {
    HSTREAM handle = Create(Wav("n.wav", 3.0));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(BASS_ChannelSetPosition(handle, BASS_ChannelGetLength(handle, 0), 0));
    EXPECT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; }, 1s));
}

TEST_F(LengthPosition, Bytes2Seconds_ConvertsAndRejectsNegative) {
    HSTREAM handle = Create(Wav("o.wav", 1.0));
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(handle, 176400), 1.0);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(handle, 0), 0.0);
    EXPECT_LT(BASS_ChannelBytes2Seconds(handle, ~QWORD{0}), 0.0);
    EXPECT_LT(BASS_ChannelBytes2Seconds(handle, 0xFFFFFFFF80000000ull), 0.0);
}

}  // namespace
