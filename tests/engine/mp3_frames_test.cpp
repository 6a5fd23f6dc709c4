// MP3 lengths and seeks from the frame-header scan: the length of the audio heard, to the
// sample, for LAME and FFmpeg files with a gapless header, for VBR files with no header at
// all, with tags at either end, with a header that lies and for a truncated file; seeks that
// land where continuous decoding would be; a file that shrinks while it is scanned.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "audio_engine.h"
#include "decode_all.h"
#include "decoder.h"
#include "mp3_frames.h"
#include "test_media.h"

using testmedia::SampleKind;

namespace {

constexpr int kRate = 44100;

// Silence, then from `onset` a loud tone whose loudness changes every 0.1 s, so that VBR
// frames differ in size.
std::vector<float> StepSignal(std::size_t frames, std::size_t onset) {
    std::vector<float> samples(frames * 2, 0.0f);
    for (std::size_t i = onset; i < frames; ++i) {
        const double level = 0.5 + 0.3 * ((i / 4410) % 2);
        const double noise = std::sin(static_cast<double>(i) * i * 1e-7);
        const float value =
            static_cast<float>(level * std::sin(2 * M_PI * 1000.0 * i / kRate) + 0.1 * noise);
        samples[i * 2] = value;
        samples[i * 2 + 1] = value;
    }
    return samples;
}

long FirstLoud(const std::vector<float> &stereo, float threshold = 0.35f) {
    for (std::size_t i = 0; i < stereo.size() / 2; ++i)
        if (std::abs(stereo[i * 2]) > threshold) return static_cast<long>(i);
    return -1;
}

// How many frames the ffmpeg command decodes from a file: the reference for files without
// a gapless header.
long FfmpegDecodedFrames(const std::string &path, const testmedia::TempDir &dir) {
    std::string raw = dir.Path("decoded.raw");
    if (!testmedia::Ffmpeg(path, "-f s16le -ac 2 -ar 44100", raw)) return -1;
    return static_cast<long>(testmedia::ReadBytes(raw).size() / 4);
}

class Mp3Length : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, 44100, 0, nullptr, nullptr); }

    // A WAV of `frames` frames with the tone from `onset`.
    std::string Source(std::size_t frames, std::size_t onset) {
        std::string wav = dir_.Path("source.wav");
        EXPECT_TRUE(
            testmedia::WriteWav(wav, kRate, 2, SampleKind::kInt16, StepSignal(frames, onset)));
        return wav;
    }

    // The length BASS reports at once after creation, in frames; the decoded frame count and
    // where the tone starts in them.
    void Measure(const std::string &mp3, long *reported, long *decoded, long *onset) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, mp3.c_str(), 0, 0, 0);
        ASSERT_NE(handle, 0u) << mp3;
        *reported = static_cast<long>(BASS_ChannelGetLength(handle, BASS_POS_BYTE) / 4);
        BASS_StreamFree(handle);
        engine::CancelToken token;
        auto decoder = engine::OpenFileDecoder(mp3, &token);
        ASSERT_TRUE(decoder);
        std::vector<float> all = DecodeAll(*decoder);
        *decoded = static_cast<long>(all.size() / 2);
        *onset = FirstLoud(all);
        // A seek to the middle gives the frames that continuous decoding gave there (where no
        // resampler, started afresh by the seek, smooths its first frames differently).
        auto table = engine::ScanMp3File(mp3);
        ASSERT_TRUE(table);
        if (table->sample_rate != kRate) return;
        const long middle = *decoded / 2;
        ASSERT_TRUE(decoder->Seek(middle));
        std::vector<float> after(1024 * 2);
        const long count = decoder->Read(after.data(), 1024);
        ASSERT_EQ(count, std::min(1024L, *decoded - middle)) << mp3;
        float worst = 0;
        for (long i = 0; i < count * 2; ++i)
            worst = std::max(worst, std::abs(after[i] - all[middle * 2 + i]));
        EXPECT_LT(worst, 1e-3f) << mp3;
    }

    testmedia::TempDir dir_;
};

// The 6 s tone that reported 6.034 s: LAME's delay and padding are not heard.
TEST_F(Mp3Length, LameHeader_LengthIsTheSourceToTheSample) {
    const std::size_t frames = 6 * kRate + 321, onset = kRate;
    const std::string wav = Source(frames, onset);
    struct Encoding {
        bool lame;
        const char *args;
    };
    for (const Encoding &e :
         {Encoding{true, "-b 192"}, Encoding{true, "-V 2"}, Encoding{true, "-V 6 -m m"},
          Encoding{false, "-c:a libmp3lame -b:a 128k"},
          Encoding{false, "-c:a libmp3lame -q:a 4"}}) {
        const std::string mp3 = dir_.Path("lame.mp3");
        ASSERT_TRUE(e.lame ? testmedia::Lame(wav, e.args, mp3)
                           : testmedia::Ffmpeg(wav, e.args, mp3))
            << e.args;
        auto table = engine::ScanMp3File(mp3);
        ASSERT_TRUE(table && table->gapless) << e.args;
        long reported = 0, decoded = 0, heard_onset = 0;
        Measure(mp3, &reported, &decoded, &heard_onset);
        EXPECT_EQ(reported, static_cast<long>(frames)) << e.args;
        EXPECT_EQ(decoded, reported) << e.args;
        // The delay is trimmed where it is: the tone starts where it started in the source.
        EXPECT_NEAR(heard_onset, static_cast<long>(onset), 48) << e.args;
    }
}

// MPEG-2 and 2.5 frames and rates other than 44100 Hz: the length counts output frames and
// the decoder delivers exactly that many.
TEST_F(Mp3Length, OtherVersionsAndRates_DecodedEqualsReported) {
    const std::size_t frames = 3 * kRate + 999;
    const std::string wav = Source(frames, kRate);
    for (const char *args : {"-V 4 --resample 22.05", "-b 32 --resample 8", "-b 160 --resample 48",
                             "-V 5 --resample 11.025 -m m"}) {
        const std::string mp3 = dir_.Path("rate.mp3");
        ASSERT_TRUE(testmedia::Lame(wav, args, mp3)) << args;
        long reported = 0, decoded = 0, onset = 0;
        Measure(mp3, &reported, &decoded, &onset);
        EXPECT_NEAR(reported, static_cast<long>(frames), 8) << args;
        EXPECT_EQ(decoded, reported) << args;
        EXPECT_NEAR(onset, static_cast<long>(kRate), 200) << args;
    }
}

TEST_F(Mp3Length, VbrWithoutAnyHeader_LengthCountedAndSeekLandsOnTheFrame) {
    const std::size_t frames = 5 * kRate, onset = 3 * kRate + 12345;
    const std::string wav = Source(frames, onset);
    const std::string mp3 = dir_.Path("bare.mp3");
    ASSERT_TRUE(
        testmedia::Ffmpeg(wav, "-c:a libmp3lame -q:a 2 -write_xing 0 -id3v2_version 0", mp3));
    auto table = engine::ScanMp3File(mp3);
    ASSERT_TRUE(table);
    EXPECT_FALSE(table->gapless);
    EXPECT_EQ(table->header_frames, -1);
    long reported = 0, decoded = 0, heard_onset = 0;
    Measure(mp3, &reported, &decoded, &heard_onset);
    // Without a header every decoded sample is audio: the ffmpeg command decodes as many.
    EXPECT_EQ(reported, FfmpegDecodedFrames(mp3, dir_));
    EXPECT_EQ(reported, static_cast<long>(table->DecodedSamples()));
    EXPECT_EQ(decoded, reported);

    // A seek to half the length, and to a few other places: the frames after it are the
    // frames continuous decoding gives there (well within one MP3 frame of 1152).
    engine::CancelToken token;
    auto decoder = engine::OpenFileDecoder(mp3, &token);
    ASSERT_TRUE(decoder);
    const std::vector<float> all = DecodeAll(*decoder);
    for (long target : {reported / 2, 1152L * 40 + 7, reported - 3000, 0L}) {
        ASSERT_TRUE(decoder->Seek(target));
        std::vector<float> after(2048 * 2);
        ASSERT_EQ(decoder->Read(after.data(), 2048), 2048);
        float worst = 0;
        for (std::size_t i = 0; i < after.size(); ++i)
            worst = std::max(worst, std::abs(after[i] - all[target * 2 + i]));
        EXPECT_LT(worst, 1e-3f) << "seek to " << target;
    }
    // The tone onset seen after a seek to 50 %: where the source has it.
    ASSERT_TRUE(decoder->Seek(reported / 2));
    std::vector<float> rest = DecodeAll(*decoder);
    EXPECT_EQ(static_cast<long>(rest.size() / 2), reported - reported / 2);
    const long loud = FirstLoud(rest);
    ASSERT_GE(loud, 0);
    EXPECT_NEAR(reported / 2 + loud, static_cast<long>(onset) + engine::kMp3DecoderDelay + 576,
                1152);
}

TEST_F(Mp3Length, TagsAtEitherEnd_LengthUnchanged) {
    const std::size_t frames = 3 * kRate + 77;
    const std::string wav = Source(frames, kRate / 2);
    const std::string plain = dir_.Path("plain.mp3");
    ASSERT_TRUE(testmedia::Lame(wav, "-V 4", plain));
    const std::vector<std::uint8_t> audio = testmedia::ReadBytes(plain);

    // Tag bodies full of frame-sync look-alikes, so that a scan reading into them would count
    // false frames.
    std::vector<std::uint8_t> junk(3000);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = i % 4 == 0 ? 0xFF : i % 4 == 1 ? 0xFB : static_cast<std::uint8_t>(0x90 + i % 7);
    auto syncsafe = [](std::uint32_t n) {
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>((n >> 21) & 0x7F),
                                         static_cast<std::uint8_t>((n >> 14) & 0x7F),
                                         static_cast<std::uint8_t>((n >> 7) & 0x7F),
                                         static_cast<std::uint8_t>(n & 0x7F)};
    };
    auto id3v2 = [&](bool footer) {
        std::vector<std::uint8_t> tag = {'I', 'D', '3',
                                         4,   0,   static_cast<std::uint8_t>(footer ? 0x10 : 0)};
        auto size = syncsafe(static_cast<std::uint32_t>(junk.size()));
        tag.insert(tag.end(), size.begin(), size.end());
        tag.insert(tag.end(), junk.begin(), junk.end());
        if (footer) {
            std::vector<std::uint8_t> foot = {'3', 'D', 'I', 4, 0, 0x10};
            foot.insert(foot.end(), size.begin(), size.end());
            tag.insert(tag.end(), foot.begin(), foot.end());
        }
        return tag;
    };
    auto ape = [&](bool with_header) {
        auto block = [&](bool is_header) {
            std::vector<std::uint8_t> b = {'A', 'P', 'E',  'T',  'A', 'G',
                                           'E', 'X', 0xD0, 0x07, 0,   0};
            const std::uint32_t size = static_cast<std::uint32_t>(junk.size() + 32);
            for (int i = 0; i < 4; ++i)
                b.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
            for (std::uint8_t v : {1, 0, 0, 0})
                b.push_back(v);  // one item
            std::uint32_t flags = (with_header ? 0x80000000u : 0) | (is_header ? 0x20000000u : 0);
            for (int i = 0; i < 4; ++i)
                b.push_back(static_cast<std::uint8_t>(flags >> (8 * i)));
            b.resize(32, 0);
            return b;
        };
        std::vector<std::uint8_t> tag;
        if (with_header) tag = block(true);
        tag.insert(tag.end(), junk.begin(), junk.end());
        auto footer = block(false);
        tag.insert(tag.end(), footer.begin(), footer.end());
        return tag;
    };
    std::vector<std::uint8_t> id3v1(128, 0);
    std::memcpy(id3v1.data(), "TAGTitle", 8);

    struct Layout {
        const char *name;
        std::vector<std::uint8_t> before, after;
    };
    auto join = [](std::vector<std::vector<std::uint8_t>> parts) {
        std::vector<std::uint8_t> out;
        for (auto &p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const Layout layouts[] = {
        {"ID3v2 before, APE and ID3v1 after", id3v2(false), join({ape(true), id3v1})},
        {"APE before, ID3v2 with footer after", ape(true), id3v2(true)},
        {"two ID3v2 before, APE without header after", join({id3v2(false), id3v2(true)}),
         ape(false)},
        {"ID3v1 after an ID3v2 footer", {}, join({id3v2(true), id3v1})},
    };
    for (const Layout &layout : layouts) {
        const std::string tagged = dir_.Path("tagged.mp3");
        ASSERT_TRUE(testmedia::WriteBytes(tagged, join({layout.before, audio, layout.after})));
        long reported = 0, decoded = 0, onset = 0;
        Measure(tagged, &reported, &decoded, &onset);
        EXPECT_EQ(reported, static_cast<long>(frames)) << layout.name;
        EXPECT_EQ(decoded, reported) << layout.name;
    }
}

TEST_F(Mp3Length, HeaderFrameCountLies_TheScanWins) {
    const std::size_t frames = 4 * kRate + 5;
    const std::string wav = Source(frames, kRate);
    const std::string mp3 = dir_.Path("honest.mp3");
    ASSERT_TRUE(testmedia::Lame(wav, "-V 3", mp3));
    std::vector<std::uint8_t> bytes = testmedia::ReadBytes(mp3);
    auto table = engine::ScanMp3File(mp3);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->header_frames, static_cast<std::int64_t>(table->offsets.size()));
    // The frame count of the Xing header: after "Xing"/"Info" and its flags.
    std::size_t at = 0;
    while (at + 8 < bytes.size() && std::memcmp(&bytes[at], "Xing", 4) != 0 &&
           std::memcmp(&bytes[at], "Info", 4) != 0)
        ++at;
    ASSERT_LT(at + 12, bytes.size());
    for (std::uint32_t lie :
         {10u, 0xFFFFFFFFu, static_cast<std::uint32_t>(table->offsets.size() * 3)}) {
        for (int i = 0; i < 4; ++i)
            bytes[at + 8 + i] = static_cast<std::uint8_t>(lie >> (24 - 8 * i));
        const std::string liar = dir_.Path("liar.mp3");
        ASSERT_TRUE(testmedia::WriteBytes(liar, bytes));
        long reported = 0, decoded = 0, onset = 0;
        Measure(liar, &reported, &decoded, &onset);
        EXPECT_EQ(reported, static_cast<long>(frames)) << lie;
        EXPECT_EQ(decoded, reported) << lie;
    }
}

TEST_F(Mp3Length, TruncatedFile_CompleteFramesOnlyAndLengthMatchesDecoding) {
    const std::string wav = Source(4 * kRate, kRate);
    const std::string mp3 = dir_.Path("whole.mp3");
    ASSERT_TRUE(testmedia::Lame(wav, "-V 2", mp3));
    std::vector<std::uint8_t> bytes = testmedia::ReadBytes(mp3);
    auto whole = engine::ScanMp3File(mp3);
    ASSERT_TRUE(whole);
    // Cut in the middle of frame 100.
    const std::size_t cut = whole->offsets[100] + 50;
    bytes.resize(cut);
    const std::string truncated = dir_.Path("cut.mp3");
    ASSERT_TRUE(testmedia::WriteBytes(truncated, bytes));
    auto table = engine::ScanMp3File(truncated);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->offsets.size(), 100u);
    EXPECT_TRUE(table->cut_short);
    long reported = 0, decoded = 0, onset = 0;
    Measure(truncated, &reported, &decoded, &onset);
    EXPECT_EQ(reported, 100L * 1152 - whole->FirstAudioSample());
    EXPECT_EQ(decoded, reported);
}

// A file many times the decoder's read-ahead: every part of it is heard as it was encoded,
// and seeks back and forth across it give what the straight decode gave there.
TEST_F(Mp3Length, LongFile_EveryPartHeardAndSeeksMatchTheStraightDecode) {
    const std::size_t frames = 24 * kRate;
    const std::vector<float> source = StepSignal(frames, 0);
    const std::string wav = dir_.Path("long.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, kRate, 2, SampleKind::kInt16, source));
    const std::string mp3 = dir_.Path("long.mp3");
    ASSERT_TRUE(testmedia::Lame(wav, "-b 320", mp3));
    ASSERT_GT(testmedia::ReadBytes(mp3).size(), 900u * 1024);
    engine::CancelToken token;
    auto decoder = engine::OpenFileDecoder(mp3, &token);
    ASSERT_TRUE(decoder);
    const std::vector<float> all = DecodeAll(*decoder);
    ASSERT_EQ(all.size(), source.size());

    // A frame lost or read from the wrong bytes is silence or noise in its stretch: each
    // stretch of 1024 frames is as loud as the source there.
    const auto loudness = [](const std::vector<float> &stereo, std::size_t from) {
        double sum = 0;
        for (std::size_t i = from; i < from + 1024; ++i)
            sum += double{stereo[i * 2]} * stereo[i * 2];
        return std::sqrt(sum / 1024);
    };
    int wrong = 0;
    for (std::size_t from = 0; from + 1024 <= frames; from += 1024) {
        const double expected = loudness(source, from);
        if (std::abs(loudness(all, from) - expected) > 0.1 * expected) ++wrong;
    }
    EXPECT_EQ(wrong, 0);

    std::vector<float> after(2048 * 2);
    std::uint32_t state = 11;
    for (int i = 0; i < 40; ++i) {
        state = state * 1664525u + 1013904223u;
        const long target = static_cast<long>(state % (frames - 2048));
        ASSERT_TRUE(decoder->Seek(target));
        ASSERT_EQ(decoder->Read(after.data(), 2048), 2048) << target;
        float worst = 0;
        for (std::size_t k = 0; k < after.size(); ++k)
            worst = std::max(worst, std::abs(after[k] - all[target * 2 + k]));
        EXPECT_LT(worst, 1e-3f) << target;
    }
}

// Whatever the bytes, the scan answers with frames inside the file, in order, or nothing.
TEST(Mp3Scan, DamagedFiles_TablesStayInsideTheBytes) {
    testmedia::TempDir dir;
    const std::string wav = dir.Path("s.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, kRate, 2, SampleKind::kInt16, StepSignal(kRate, 1000)));
    const std::string mp3 = dir.Path("s.mp3");
    ASSERT_TRUE(testmedia::Lame(wav, "-V 5", mp3));
    const std::vector<std::uint8_t> original = testmedia::ReadBytes(mp3);
    for (std::uint32_t variant = 0; variant < 300; ++variant) {
        const std::vector<std::uint8_t> bytes = testmedia::Mutate(original, variant);
        auto table = engine::ScanMp3Frames(bytes.data(), bytes.size());
        if (!table) continue;
        std::uint32_t previous = 0;
        for (std::size_t i = 0; i < table->offsets.size(); ++i) {
            const std::uint32_t at = table->offsets[i];
            ASSERT_TRUE(i == 0 || at > previous) << variant;
            ASSERT_LE(at + 4, bytes.size()) << variant;
            ASSERT_LE(at + engine::Mp3FrameBytes(&bytes[at]), bytes.size()) << variant;
            previous = at;
        }
        EXPECT_GE(table->EndAudioSample(), table->FirstAudioSample());
    }
    EXPECT_FALSE(engine::ScanMp3Frames(nullptr, 0));
    const std::uint8_t riff[] = {'R', 'I', 'F', 'F', 0xFF, 0xFB, 0x90, 0x64};
    EXPECT_FALSE(engine::ScanMp3Frames(riff, sizeof riff));
}

}  // namespace

// A file that shrinks between being measured and being read (rewritten by a tag editor, a
// download, a share that went away) must not end the player: reading a mapped page past a
// file's end raises SIGBUS.
class Mp3ShrunkFile : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string wav = dir_.Path("s.wav");
        ASSERT_TRUE(
            testmedia::WriteWav(wav, kRate, 2, SampleKind::kInt16, StepSignal(4 * kRate, 0)));
        path_ = dir_.Path("s.mp3");
        ASSERT_TRUE(testmedia::Lame(wav, "-V 2", path_));
        size_ = testmedia::ReadBytes(path_).size();
    }
    testmedia::TempDir dir_;
    std::string path_;
    std::uint64_t size_ = 0;
};

TEST_F(Mp3ShrunkFile, CutAfterMeasuring_NoTableNoFaultAndLaterScansWork) {
    const int fd = open(path_.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    // Measured whole, then cut to the first page: every page after it is gone.
    ASSERT_EQ(ftruncate(fd, 4096), 0);
    EXPECT_FALSE(engine::ScanMp3FileOfSize(fd, size_));
    // Measured larger than the file ever was, by many pages.
    EXPECT_FALSE(engine::ScanMp3FileOfSize(fd, size_ + (1u << 20)));
    close(fd);

    // The same place is mapped again by later scans: they read real bytes, not the zeros.
    const std::string other = dir_.Path("other.mp3");
    const std::string wav = dir_.Path("o.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, kRate, 2, SampleKind::kInt16, StepSignal(2 * kRate, 0)));
    ASSERT_TRUE(testmedia::Lame(wav, "-V 2", other));
    for (int i = 0; i < 3; ++i) {
        auto table = engine::ScanMp3File(other);
        ASSERT_TRUE(table);
        EXPECT_GT(table->offsets.size(), 50u);
    }
}

TEST_F(Mp3ShrunkFile, ManyThreadsAtOnce_EachScanAnswers) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
            for (int i = 0; i < 20; ++i) {
                if (engine::ScanMp3FileOfSize(fd, size_ + (1u << 18))) ++wrong;
                if (!engine::ScanMp3FileOfSize(fd, size_)) ++wrong;
            }
            close(fd);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// Only the scans' own faults are caught: any other still ends the process (under the
// sanitizers their report ends it with an error instead).
TEST_F(Mp3ShrunkFile, FaultOutsideAScan_StillEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto ended_by_fault = [](int status) {
        return WIFSIGNALED(status) ? WTERMSIG(status) == SIGBUS
                                   : WIFEXITED(status) && WEXITSTATUS(status) != 0;
    };
    const std::string path = path_;
    EXPECT_EXIT(
        {
            const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
            engine::ScanMp3FileOfSize(fd, 1u << 20);  // the handler is in place
            ftruncate(fd, 4096);
            void *p = mmap(nullptr, 1u << 16, PROT_READ, MAP_PRIVATE, fd, 0);
            const volatile std::uint8_t *bytes = static_cast<const std::uint8_t *>(p);
            std::exit(bytes[8192] == 0 ? 0 : 0);
        },
        ended_by_fault, "");
}
