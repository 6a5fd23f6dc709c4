// Gapless joins (BASS_ChannelQueueAfter): a continuous tone cut in two files plays back to
// back as one, checked sample by sample in what the output mixed; and the call's rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <thread>

#include "audio_engine.h"
#include "engine_probe.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
constexpr int kSecondFrames = 22050;
constexpr double kFrequency = 997.0;
constexpr double kAmplitude = 0.5;
constexpr float kVolume = 0.5f;
// The first output buffer of a stream ramps its volume from 1 to the volume set.
constexpr int kRampFrames = 4096;

// The tone at frame n of the whole (at `rate`): it starts away from zero, so its first frame
// shows.
double Tone(long n, int rate = kRate) {
    return kAmplitude * std::sin(2 * std::numbers::pi * kFrequency * n / rate + 0.8);
}

std::vector<float> TonePart(long from, long frames, int rate = kRate) {
    std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
    for (long i = 0; i < frames; ++i)
        samples[i * 2] = samples[i * 2 + 1] = static_cast<float>(Tone(from + i, rate));
    return samples;
}

struct Format {
    const char *name;
    const char *extension;
    bool lossless;
    int rate;          // of the files
    int first_frames;  // the first part's length at the output's rate
    std::function<bool(const std::string &, const std::string &)> encode;
};

void PrintTo(const Format &format, std::ostream *out) {
    *out << format.name;
}

std::string FormatName(const ::testing::TestParamInfo<Format> &info) {
    return info.param.name;
}

// The cut lies on an MP3 frame boundary (1152 samples); Opus, which codes at 48000 Hz, is cut
// at 0.6 s, where both rates have a whole frame (files at 44100 Hz would be resampled by the
// encoder, which rounds each part's length up).
const Format kFormats[] = {
    {"Wav", "wav", true, kRate, 1152 * 23, nullptr},
    {"Flac", "flac", true, kRate, 1152 * 23,
     [](const std::string &in, const std::string &out) {
         return testmedia::Ffmpeg(in, "-c:a flac", out);
     }},
    {"OggVorbis", "ogg", false, kRate, 1152 * 23,
     [](const std::string &in, const std::string &out) {
         return testmedia::Ffmpeg(in, "-c:a libvorbis -q:a 6", out);
     }},
    {"Opus", "opus", false, 48000, 26460,
     [](const std::string &in, const std::string &out) {
         return testmedia::Ffmpeg(in, "-c:a libopus -b:a 192k", out);
     }},
    {"Mp3Lame", "mp3", false, kRate, 1152 * 23,
     [](const std::string &in, const std::string &out) {
         return testmedia::Lame(in, "-b 256", out);
     }},
};

class GaplessJoin : public ::testing::TestWithParam<Format> {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, kRate, 0, nullptr, nullptr); }
    void TearDown() override {
        for (HSTREAM handle : created_)
            BASS_StreamFree(handle);
    }
    HSTREAM Create(const std::string &path) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        if (handle) created_.push_back(handle);
        return handle;
    }
    // One part of the tone in the format of the test; from and frames at the output's rate.
    std::string Part(const std::string &name, long from, long frames) {
        const Format &format = GetParam();
        const std::string wav = dir_.Path(name + ".wav");
        const long scale = format.rate, unit = kRate;
        EXPECT_EQ(frames * scale % unit, 0);
        EXPECT_TRUE(
            testmedia::WriteWav(wav, format.rate, 2, testmedia::SampleKind::kInt16,
                                TonePart(from * scale / unit, frames * scale / unit, format.rate)));
        if (!format.encode) return wav;
        const std::string out = dir_.Path(name + "." + format.extension);
        EXPECT_TRUE(format.encode(wav, out)) << format.name;
        return out;
    }

    testmedia::TempDir dir_;
    std::vector<HSTREAM> created_;
};

// The left channel of what was mixed.
std::vector<float> Left(const std::vector<float> &stereo) {
    std::vector<float> left(stereo.size() / 2);
    for (std::size_t i = 0; i < left.size(); ++i)
        left[i] = stereo[i * 2];
    return left;
}

// The output frame where the tone's frame 0 was heard: near the first loud frame, where the
// first part matches the tone best.
long ToneStart(const std::vector<float> &left, int first_frames) {
    long loud = 0;
    while (loud < static_cast<long>(left.size()) && std::abs(left[loud]) < 0.05f)
        ++loud;
    long best = -1;
    double best_error = 1e30;
    for (long start = std::max(0L, loud - 64); start <= loud + 64; ++start) {
        double error = 0;
        for (int n = kRampFrames; n < first_frames - 2205; n += 3) {
            if (start + n >= static_cast<long>(left.size())) return -1;
            const double d = left[start + n] - kVolume * Tone(n);
            error += d * d;
        }
        if (error < best_error) best_error = error, best = start;
    }
    return best;
}

// Root mean square and largest difference from the tone over the tone's frames [from, to).
struct Deviation {
    double rms = 0, peak = 0;
};
Deviation DeviationFromTone(const std::vector<float> &left, long start, int from, int to) {
    Deviation deviation;
    for (int n = from; n < to; ++n) {
        const double d = std::abs(left[start + n] - kVolume * Tone(n));
        deviation.rms += d * d;
        deviation.peak = std::max(deviation.peak, d);
    }
    deviation.rms = std::sqrt(deviation.rms / (to - from));
    return deviation;
}

TEST_P(GaplessJoin, TwoPartsPlayAsOneTone_ToTheSample) {
    const int first_frames = GetParam().first_frames;
    const HSTREAM first = Create(Part("first", 0, first_frames));
    const HSTREAM second = Create(Part("second", first_frames, kSecondFrames));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    ASSERT_TRUE(BASS_ChannelQueueAfter(first, second));
    // The follower plays at the volume of the stream it follows.
    ASSERT_TRUE(BASS_ChannelSetAttribute(first, BASS_ATTRIB_VOL, kVolume));
    engine::CaptureOutput(first_frames + kSecondFrames + kRate);
    ASSERT_TRUE(BASS_ChannelPlay(first, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(first) == BASS_ACTIVE_STOPPED; }, 5s));
    EXPECT_EQ(BASS_ChannelIsActive(second), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(second) == BASS_ACTIVE_STOPPED; }, 5s));
    // Each played all its frames, not one more: the end heard is the end of the file.
    EXPECT_EQ(BASS_ChannelGetPosition(first, BASS_POS_BYTE), first_frames * 4u);
    EXPECT_EQ(BASS_ChannelGetPosition(second, BASS_POS_BYTE), kSecondFrames * 4u);
    std::this_thread::sleep_for(100ms);  // the buffer after the end
    const std::vector<float> mixed = engine::CapturedOutput();
    const std::vector<float> left = Left(mixed);

    const long start = ToneStart(left, first_frames);
    ASSERT_GE(start, 0);
    ASSERT_GT(static_cast<long>(left.size()), start + first_frames + kSecondFrames);
    const int total = first_frames + kSecondFrames;
    const Deviation before = DeviationFromTone(left, start, kRampFrames, first_frames - 441);
    const Deviation join = DeviationFromTone(left, start, first_frames - 441, first_frames + 441);
    const Deviation after = DeviationFromTone(left, start, first_frames + 441, total - 441);
    if (GetParam().lossless) {
        // The very samples of the files (16 bits), with nothing between them.
        EXPECT_LT(before.peak, 1e-4);
        EXPECT_LT(join.peak, 1e-4);
        EXPECT_LT(after.peak, 1e-4);
        EXPECT_LT(DeviationFromTone(left, start, total - 441, total).peak, 1e-4);
        EXPECT_EQ(left[start + total], 0.0f);  // and nothing after them
        for (std::size_t i = 0; i < mixed.size(); i += 2)
            ASSERT_EQ(mixed[i], mixed[i + 1]) << i / 2;
    } else {
        // A frame too many or too few at the join would leave the rest of the tone off by up
        // to 0.035 (rms 0.025): what the codec changes stays well below that.
        EXPECT_LT(after.rms, 0.01) << "before the join: " << before.rms;
        EXPECT_LT(join.peak, 0.1) << "rms " << join.rms;
    }
    // No gap anywhere: the tone never rests near zero for more than a frame.
    int quiet = 0, longest_quiet = 0;
    for (int n = 100; n < total - 100; ++n) {
        quiet = std::abs(left[start + n]) < 0.01f ? quiet + 1 : 0;
        longest_quiet = std::max(longest_quiet, quiet);
    }
    EXPECT_LE(longest_quiet, 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, GaplessJoin, ::testing::ValuesIn(kFormats), FormatName);

class GaplessRules : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, kRate, 0, nullptr, nullptr); }
    void SetUp() override {
        ASSERT_TRUE(testmedia::WriteWav(short_, kRate, 2, testmedia::SampleKind::kInt16,
                                        TonePart(0, kRate / 5)));
    }
    void TearDown() override {
        for (HSTREAM handle : created_)
            BASS_StreamFree(handle);
    }
    HSTREAM Create() {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, short_.c_str(), 0, 0, 0);
        if (handle) created_.push_back(handle);
        return handle;
    }
    bool Ends(HSTREAM handle) {
        return testmedia::WaitUntil(
            [&] { return BASS_ChannelIsActive(handle) == BASS_ACTIVE_STOPPED; }, 5s);
    }

    testmedia::TempDir dir_;
    std::string short_ = dir_.Path("short.wav");
    std::vector<HSTREAM> created_;
};

TEST_F(GaplessRules, WrongStreams_RefusedWithTheReason) {
    const HSTREAM a = Create(), b = Create();
    ASSERT_NE(a, 0u);
    EXPECT_FALSE(BASS_ChannelQueueAfter(0, b));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_ChannelQueueAfter(a, a));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    // A station, even one still connecting, neither leads nor follows.
    const HSTREAM station = BASS_StreamCreateURL("http://127.0.0.1:1/x", 0, 0, nullptr, nullptr);
    created_.push_back(station);
    EXPECT_FALSE(BASS_ChannelQueueAfter(a, station));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_ChannelQueueAfter(station, a));
    // A follower already playing, and a loop of followers.
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, b));
    EXPECT_FALSE(BASS_ChannelQueueAfter(b, a));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
    const HSTREAM c = Create();
    EXPECT_FALSE(BASS_ChannelQueueAfter(c, a));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    // An ended stream has no end left to follow.
    ASSERT_TRUE(Ends(a));
    ASSERT_EQ(BASS_ChannelIsActive(b), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(Ends(b));
    EXPECT_FALSE(BASS_ChannelQueueAfter(b, c));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    EXPECT_EQ(BASS_ChannelIsActive(c), BASS_ACTIVE_STOPPED);
}

TEST_F(GaplessRules, FreedOrTakenAway_NothingFollows) {
    // Current freed: the follower stays as created.
    HSTREAM a = Create(), b = Create();
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, b));
    ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
    ASSERT_TRUE(BASS_StreamFree(a));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(BASS_ChannelIsActive(b), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelGetPosition(b, BASS_POS_BYTE), 0u);
    // Follower freed: current ends as ever.
    a = Create();
    HSTREAM c = Create();
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, c));
    ASSERT_TRUE(BASS_StreamFree(c));
    ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
    EXPECT_TRUE(Ends(a));
    // Taken away (next 0), or replaced by a later call: only the last follower starts.
    a = Create();
    const HSTREAM d = Create(), e = Create();
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, d));
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, 0));
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, e));
    ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
    ASSERT_TRUE(Ends(a));
    EXPECT_EQ(BASS_ChannelIsActive(e), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(BASS_ChannelIsActive(d), BASS_ACTIVE_STOPPED);
    EXPECT_TRUE(Ends(e));
    EXPECT_EQ(BASS_ChannelIsActive(d), BASS_ACTIVE_STOPPED);
}

TEST_F(GaplessRules, ChainOfShortStreams_EachFollowsTheLast) {
    const HSTREAM a = Create(), b = Create(), c = Create();
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, b));
    ASSERT_TRUE(BASS_ChannelQueueAfter(b, c));
    engine::CaptureOutput(kRate);
    ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
    ASSERT_TRUE(
        testmedia::WaitUntil([&] { return BASS_ChannelIsActive(c) == BASS_ACTIVE_PLAYING; }, 5s));
    ASSERT_TRUE(Ends(c));
    EXPECT_EQ(BASS_ChannelIsActive(a), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelIsActive(b), BASS_ACTIVE_STOPPED);
    std::this_thread::sleep_for(100ms);
    const std::vector<float> left = Left(engine::CapturedOutput());
    long start = 0;
    while (start < static_cast<long>(left.size()) && left[start] == 0.0f)
        ++start;
    // Three times the 0.2 s of tone from its start, one right after the other.
    const int part = kRate / 5;
    ASSERT_GE(static_cast<long>(left.size()), start + 3 * part + 10);
    for (int n = kRampFrames; n < 3 * part; ++n)
        ASSERT_NEAR(left[start + n], Tone(n % part), 1e-4) << n;
    EXPECT_EQ(left[start + 3 * part], 0.0f);
}

}  // namespace
