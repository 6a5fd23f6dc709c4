// Files whose bytes go on where their sound does not: a preallocated download of zeros, an
// MP3 followed by bytes that are no frames or by a hole up to gigabytes. Opening one reads a
// bounded head of it, whatever its size; a stream of one ends with its sound, and the
// decoder thread is idle afterwards. The big files are sparse: they take no disk space.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "audio_engine.h"
#include "blank_head.h"
#include "file_stream_test.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

class EndlessFiles : public FileStreamTest {
  protected:
    // A second of a tone as MP3, made once per test.
    std::string Tone() {
        const std::string wav = dir_.Path("tone.wav"), mp3 = dir_.Path("tone.mp3");
        EXPECT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                        testmedia::Sine(440, 1.0, 44100, 2, 0.5)));
        EXPECT_TRUE(testmedia::Lame(wav, "-b 128", mp3));
        return mp3;
    }

    // A copy of `from` made `size` bytes long by a hole of zeros.
    std::string Extended(const std::string &from, const std::string &name, off_t size) {
        const std::string path = dir_.Path(name);
        const auto bytes = testmedia::ReadBytes(from);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        EXPECT_EQ(truncate(path.c_str(), size), 0);
        return path;
    }

    static double LengthSeconds(HSTREAM handle) {
        return BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetLength(handle, BASS_POS_BYTE));
    }

    static double ProcessCpuSeconds() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
    }

    static long PeakResidentMb() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss / 1024;
    }
};

// Without a bound these were read to their end while they opened (a terabyte: for ever).
TEST_F(EndlessFiles, ZerosNamedMp3_OfAnySize_FailBeforeTheyAreRead) {
    for (const off_t size : {off_t{64} << 20, off_t{512} << 20, off_t{1} << 40}) {
        const std::string path = dir_.Path("zeros" + std::to_string(size) + ".mp3");
        { std::ofstream create(path); }
        ASSERT_EQ(truncate(path.c_str(), size), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Create(path), 0u) << size;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << size;
    }
    EXPECT_LT(PeakResidentMb(), testmedia::kResidentBoundMb);
}

// What counts as nothing at all: the first megabyte after any ID3v2 tag a hole or zeros,
// written or not; a single other byte in it, or a tag alone, is left to the decoders.
TEST_F(EndlessFiles, BlankHead_HoleOrZerosAfterATag_AnyOtherByteIsNot) {
    auto write = [&](const std::string &name, const std::vector<unsigned char> &head, off_t size) {
        const std::string path = dir_.Path(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(head.data()),
                   static_cast<std::streamsize>(head.size()));
        if (size > 0) EXPECT_EQ(truncate(path.c_str(), size), 0);
        return path;
    };
    // A tag of 1000 bytes (synchsafe 0x07 0x68).
    std::vector<unsigned char> tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x07, 0x68};
    tag.resize(1010, 'x');
    EXPECT_TRUE(engine::HeadIsBlank(write("hole.flac", {}, 8 << 20)));
    EXPECT_TRUE(engine::HeadIsBlank(write("zeros.m4a", std::vector<unsigned char>(3 << 20), 0)));
    EXPECT_TRUE(engine::HeadIsBlank(write("tag then hole.mp3", tag, 64 << 20)));
    std::vector<unsigned char> late(2 << 20);
    late[(1 << 20) + 5] = 1;  // past the first megabyte
    EXPECT_TRUE(engine::HeadIsBlank(write("zeros then a byte.ogg", late, 0)));

    std::vector<unsigned char> early(2 << 20);
    early[(1 << 20) - 1] = 1;
    EXPECT_FALSE(engine::HeadIsBlank(write("a byte at the end of the head.ogg", early, 0)));
    EXPECT_FALSE(engine::HeadIsBlank(write("tag alone.mp3", tag, 0)));
    EXPECT_FALSE(engine::HeadIsBlank(write("empty.mp3", {}, 0)));
    EXPECT_FALSE(engine::HeadIsBlank(Tone()));
    EXPECT_FALSE(engine::HeadIsBlank(dir_.Path("missing.mp3")));

    // Refused as no audio, for any name the decoders would otherwise search through.
    for (const char *name : {"hole.flac", "zeros.m4a", "tag then hole.mp3"}) {
        EXPECT_EQ(Create(dir_.Path(name)), 0u) << name;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << name;
    }
}

// Within 4 GB the frame table decides the length; past a megabyte of junk the stream ends.
TEST_F(EndlessFiles, Mp3FollowedByJunkOrAHole_OpensWithTheLengthOfItsSound) {
    const std::string tone = Tone();
    HSTREAM plain = Create(tone);
    ASSERT_NE(plain, 0u);
    const double length = LengthSeconds(plain);
    ASSERT_NEAR(length, 1.0, 0.05);

    const std::string junk = dir_.Path("junk.mp3");
    {
        const auto bytes = testmedia::ReadBytes(tone);
        std::ofstream out(junk, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        const std::string ff(1 << 20, '\xFF');
        for (int i = 0; i < 8; ++i)
            out.write(ff.data(), static_cast<std::streamsize>(ff.size()));
    }
    const std::string hole = Extended(tone, "hole.mp3", off_t{3900} << 20);
    for (const std::string &path : {junk, hole}) {
        const auto start = std::chrono::steady_clock::now();
        HSTREAM handle = Create(path);
        ASSERT_NE(handle, 0u) << path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << path;
        EXPECT_DOUBLE_EQ(LengthSeconds(handle), length) << path;
    }
    EXPECT_LT(PeakResidentMb(), testmedia::kResidentBoundMb);
}

// Past 4 GB FFmpeg reads the file: it plays the second of sound, ends there, and the
// length it guessed from the bitrate becomes the sound's.
TEST_F(EndlessFiles, Mp3FollowedByGigabytesOfZeros_EndsWithItsSoundAndGoesIdle) {
    const std::string path = Extended(Tone(), "long.mp3", off_t{5} << 30);
    HSTREAM handle = Create(path);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle) == BASS_ACTIVE_STOPPED; }, 6s));
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle, BASS_POS_BYTE)),
                1.0, 0.1);
    EXPECT_TRUE(testmedia::WaitUntil([&] { return LengthSeconds(handle) < 2.0; }, 3s))
        << LengthSeconds(handle);
    // Nothing is read on behind the sound: the process idles.
    const double cpu = ProcessCpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(ProcessCpuSeconds() - cpu, 0.2);
    EXPECT_LT(PeakResidentMb(), testmedia::kResidentBoundMb);
}

}  // namespace
