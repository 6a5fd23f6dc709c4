// The equaliser in what the output mixes (engine::CaptureOutput): off is bit for bit the
// sound without it, a bass lift shows at 60 Hz and not at 4 kHz, a change is heard from the
// next buffer on, the spectrum follows it, a gapless join carries the filters on, full scale
// stays within +-1, and a station goes through it like a file.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <optional>
#include <random>
#include <thread>

#include "audio_engine.h"
#include "engine_probe.h"
#include "test_media.h"
#include "test_servers.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
// The output's device buffer (audio_output.cpp): what one callback mixes.
constexpr int kCallbackFrames = 2048;

double Db(double ratio) {
    return 20 * std::log10(ratio);
}

// A sum of sines, the same on both channels; each phase is taken from (frequency * n) modulo
// the rate, so a sum of whole-numbered frequencies repeats exactly.
std::vector<float> Tones(const std::vector<std::pair<int, double>> &tones, long frames,
                         long from = 0) {
    std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
    for (long i = 0; i < frames; ++i) {
        double v = 0;
        for (auto [frequency, amplitude] : tones) {
            const long turn = (static_cast<long>(frequency) * (from + i)) % kRate;
            v += amplitude * std::sin(2 * std::numbers::pi * turn / kRate + 0.8);
        }
        samples[i * 2] = samples[i * 2 + 1] = static_cast<float>(v);
    }
    return samples;
}

// The amplitude of one frequency in the left channel over [from, from + frames).
double Amplitude(const std::vector<float> &stereo, long from, long frames, double frequency) {
    std::complex<double> sum = 0;
    for (long i = 0; i < frames; ++i)
        sum += static_cast<double>(stereo[(from + i) * 2]) *
               std::polar(1.0, -2 * std::numbers::pi * frequency * i / kRate);
    return 2 * std::abs(sum) / frames;
}

long FirstSound(const std::vector<float> &stereo) {
    long n = 0;
    while (n < static_cast<long>(stereo.size() / 2) && stereo[n * 2] == 0.0f)
        ++n;
    return n;
}

class EqualizerOutput : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, kRate, 0, nullptr, nullptr); }
    void TearDown() override {
        for (HSTREAM handle : created_)
            BASS_StreamFree(handle);
        BASS_SetEqualizer(nullptr, 0);
    }
    std::string File(const std::string &name, const std::vector<float> &samples,
                     testmedia::SampleKind kind = testmedia::SampleKind::kInt16) {
        const std::string path = dir_.Path(name);
        EXPECT_TRUE(testmedia::WriteWav(path, kRate, 2, kind, samples));
        return path;
    }
    HSTREAM Create(const std::string &path) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        if (handle) created_.push_back(handle);
        return handle;
    }
    // Plays the file from its start and returns `frames` of the mix from its first sound on.
    std::vector<float> PlayFromStart(const std::string &path, long frames) {
        const HSTREAM handle = Create(path);
        EXPECT_NE(handle, 0u);
        engine::CaptureOutput(frames + kRate / 2);
        EXPECT_TRUE(BASS_ChannelPlay(handle, FALSE));
        EXPECT_TRUE(testmedia::WaitUntil(
            [&] { return BASS_ChannelGetPosition(handle, BASS_POS_BYTE) >= QWORD(frames) * 4; },
            10s));
        std::this_thread::sleep_for(150ms);  // the device's latency
        std::vector<float> mixed = engine::CapturedOutput();
        BASS_StreamFree(handle);
        const long start = FirstSound(mixed);
        if (static_cast<long>(mixed.size() / 2) < start + frames) {
            ADD_FAILURE() << "captured only " << mixed.size() / 2 << " frames";
            return {};
        }
        return {mixed.begin() + start * 2, mixed.begin() + (start + frames) * 2};
    }
    // The next `frames` frames the output mixes, from the buffer after the call on.
    static std::vector<float> CaptureNext(long frames) {
        engine::CaptureOutput(frames);
        std::this_thread::sleep_for(std::chrono::milliseconds(frames * 1000 / kRate + 200));
        return engine::CapturedOutput();
    }

    testmedia::TempDir dir_;
    std::vector<HSTREAM> created_;
};

TEST_F(EqualizerOutput, Off_BitForBitTheSoundWithoutIt) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> uniform(-0.9f, 0.9f);
    std::vector<float> noise(kRate * 2);
    for (float &v : noise)
        v = uniform(random);
    noise[0] = 0.5f;  // so the first frame shows
    const std::string path = File("noise.wav", noise, testmedia::SampleKind::kFloat32);
    const long frames = kRate * 3 / 4;
    const std::vector<float> never = PlayFromStart(path, frames);
    ASSERT_EQ(never.size(), frames * 2u);
    // On, then off by all gains 0, and by no bands.
    ASSERT_TRUE(BASS_SetEqualizer(BASS_EQ_PRESETS[BASS_EQ_ROCK], BASS_EQ_BANDS));
    EXPECT_NE(PlayFromStart(path, frames), never);
    ASSERT_TRUE(BASS_SetEqualizer(BASS_EQ_PRESETS[BASS_EQ_OFF], BASS_EQ_BANDS));
    EXPECT_EQ(PlayFromStart(path, frames), never);
    ASSERT_TRUE(BASS_SetEqualizer(BASS_EQ_PRESETS[BASS_EQ_ROCK], BASS_EQ_BANDS));
    ASSERT_TRUE(BASS_SetEqualizer(nullptr, 0));
    EXPECT_EQ(PlayFromStart(path, frames), never);
}

// 60 Hz and 4 kHz at once; levels over a second (whole periods of both), after half a second.
struct Levels {
    double low, high;
};
Levels LowAndHigh(const std::vector<float> &mixed) {
    return {Amplitude(mixed, kRate / 2, kRate, 60), Amplitude(mixed, kRate / 2, kRate, 4000)};
}

TEST_F(EqualizerOutput, BassLift_Raises60HzByItsGainAnd4kHzOnlyByThePreGain) {
    const std::string path = File("two.wav", Tones({{60, 0.3}, {4000, 0.3}}, kRate * 2));
    const long frames = kRate * 3 / 2;
    const Levels off = LowAndHigh(PlayFromStart(path, frames));
    EXPECT_NEAR(Db(off.low / 0.3), 0.0, 0.1);
    EXPECT_NEAR(Db(off.high / 0.3), 0.0, 0.1);
    // One band: +9 dB at 62.5 Hz, and the sound lowered by 9 dB before it.
    const float lift[BASS_EQ_BANDS] = {0, 9};
    ASSERT_TRUE(BASS_SetEqualizer(lift, BASS_EQ_BANDS));
    const Levels one = LowAndHigh(PlayFromStart(path, frames));
    EXPECT_NEAR(Db(one.low / one.high) - Db(off.low / off.high), 9.0, 0.5);
    EXPECT_NEAR(Db(one.high / off.high), -9.0, 0.5);
    // The bass preset, as its row in the header says: +7 dB at 60 Hz, lowered by 7.1.
    ASSERT_TRUE(BASS_SetEqualizer(BASS_EQ_PRESETS[BASS_EQ_BASS], BASS_EQ_BANDS));
    const Levels bass = LowAndHigh(PlayFromStart(path, frames));
    EXPECT_NEAR(Db(bass.low / bass.high) - Db(off.low / off.high), 7.0, 0.5);
    EXPECT_NEAR(Db(bass.high / off.high), -7.1, 0.5);
}

TEST_F(EqualizerOutput, ChangeWhilePlaying_HeardFromTheNextBufferOnWithoutAClick) {
    const double amplitude = 0.5;
    const HSTREAM handle = Create(File("tone.wav", Tones({{1000, amplitude}}, kRate * 4)));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    std::this_thread::sleep_for(300ms);
    // 1 kHz cut by 12 dB (nothing lifted, so no pre-gain): the 1.5 s decoded ahead play cut.
    const float cut[BASS_EQ_BANDS] = {0, 0, 0, 0, 0, -12};
    ASSERT_TRUE(BASS_SetEqualizer(cut, BASS_EQ_BANDS));
    const std::vector<float> down = CaptureNext(3 * kCallbackFrames);
    ASSERT_TRUE(BASS_SetEqualizer(nullptr, 0));
    const std::vector<float> up = CaptureNext(3 * kCallbackFrames);
    ASSERT_EQ(down.size(), 3u * kCallbackFrames * 2);
    ASSERT_EQ(up.size(), 3u * kCallbackFrames * 2);
    // The first buffer captured may be the one that moved; every one after it has moved.
    const long whole = 3969;  // 90 periods of 1 kHz, within the second and third buffers
    EXPECT_NEAR(Db(Amplitude(down, kCallbackFrames, whole, 1000) / amplitude), -12.0, 0.5);
    EXPECT_NEAR(Db(Amplitude(up, kCallbackFrames, whole, 1000) / amplitude), 0.0, 0.1);
    // No click: the sine never moves further in a frame than it does at full level.
    const double step = amplitude * 2 * std::numbers::pi * 1000 / kRate;
    for (const auto *mixed : {&down, &up})
        for (std::size_t i = 2; i < mixed->size(); i += 2)
            ASSERT_LT(std::abs((*mixed)[i] - (*mixed)[i - 2]), step * 1.05) << i / 2;
}

TEST_F(EqualizerOutput, Spectrum_ShowsTheEqualisedSound) {
    // At the centres of bins 3 (64.6 Hz) and 186 (4005 Hz) of the 2048-sample transform.
    const double bin = static_cast<double>(kRate) / 2048;
    const HSTREAM handle = Create(File(
        "bins.wav",
        Tones({{static_cast<int>(3 * bin), 0.3}, {static_cast<int>(186 * bin), 0.3}}, kRate * 4)));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    std::this_thread::sleep_for(500ms);
    float off[1026] = {}, on[1026] = {};
    ASSERT_NE(BASS_ChannelGetData(handle, off, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    ASSERT_TRUE(BASS_SetEqualizer(BASS_EQ_PRESETS[BASS_EQ_BASS], BASS_EQ_BANDS));
    std::this_thread::sleep_for(300ms);  // past the buffers still being heard
    ASSERT_NE(BASS_ChannelGetData(handle, on, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_NEAR(Db(on[3] / on[186]) - Db(off[3] / off[186]), 7.0, 1.0);
    EXPECT_NEAR(Db(on[186] / off[186]), -7.1, 1.0);
}

TEST_F(EqualizerOutput, GaplessJoin_FiltersCarryOnWithoutADiscontinuity) {
    // 63 Hz and 4410 Hz repeat every 700 frames: once the filters have settled, so does
    // what they make of it, across the join as anywhere.
    const std::vector<std::pair<int, double>> tones = {{63, 0.3}, {4410, 0.2}};
    const long first = kRate * 6 / 5, second = kRate * 3 / 5, period = 700;
    const HSTREAM a = Create(File("first.wav", Tones(tones, first)));
    const HSTREAM b = Create(File("second.wav", Tones(tones, second, first)));
    ASSERT_TRUE(BASS_ChannelQueueAfter(a, b));
    ASSERT_TRUE(BASS_SetEqualizer(BASS_EQ_PRESETS[BASS_EQ_BASS], BASS_EQ_BANDS));
    engine::CaptureOutput(first + second + kRate / 2);
    ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
    ASSERT_TRUE(
        testmedia::WaitUntil([&] { return BASS_ChannelIsActive(a) == BASS_ACTIVE_STOPPED; }, 10s));
    ASSERT_EQ(BASS_ChannelIsActive(b), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(
        testmedia::WaitUntil([&] { return BASS_ChannelIsActive(b) == BASS_ACTIVE_STOPPED; }, 10s));
    std::this_thread::sleep_for(150ms);
    const std::vector<float> mixed = engine::CapturedOutput();
    const long start = FirstSound(mixed);
    ASSERT_GT(static_cast<long>(mixed.size() / 2), start + first + second);
    double largest = 0;
    for (long n = start + first - 3 * period; n < start + first + 3 * period; ++n)
        largest = std::max(largest,
                           std::abs(static_cast<double>(mixed[n * 2]) - mixed[(n - period) * 2]));
    // 16-bit samples: a last bit may differ between two periods.
    EXPECT_LT(largest, 2e-4);
}

TEST_F(EqualizerOutput, FullScaleNoiseThroughTheRockPreset_NoSampleBeyondOne) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> noise(kRate * 2);
    for (float &v : noise)
        v = uniform(random);
    const std::string path = File("loud.wav", noise, testmedia::SampleKind::kFloat32);
    ASSERT_TRUE(BASS_SetEqualizer(BASS_EQ_PRESETS[BASS_EQ_ROCK], BASS_EQ_BANDS));
    const std::vector<float> mixed = PlayFromStart(path, kRate * 3 / 4);
    ASSERT_FALSE(mixed.empty());
    float largest = 0;
    for (float v : mixed)
        largest = std::max(largest, std::abs(v));
    EXPECT_LE(largest, 1.0f);
    EXPECT_GT(largest, 0.5f);  // and it was loud
}

// A station's 440 Hz tone with the bands around it cut.
TEST_F(EqualizerOutput, Station_GoesThroughItLikeAFile) {
    testservers::IcecastStation station(dir_.Path("icecast.json"));
    ASSERT_TRUE(station.ready());
    const HSTREAM handle = BASS_StreamCreateURL(station.url().c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle, 0u);
    created_.push_back(handle);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle) == BASS_ACTIVE_PLAYING; }, 10s));
    std::this_thread::sleep_for(300ms);
    const std::vector<float> off = CaptureNext(kRate / 2);
    float fft_off[1026] = {}, fft_on[1026] = {};
    ASSERT_NE(BASS_ChannelGetData(handle, fft_off, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    const float cut[BASS_EQ_BANDS] = {0, 0, 0, -12, -12};
    ASSERT_TRUE(BASS_SetEqualizer(cut, BASS_EQ_BANDS));
    const std::vector<float> on = CaptureNext(kRate / 2);
    ASSERT_NE(BASS_ChannelGetData(handle, fft_on, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    ASSERT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_PLAYING);
    const long from = kCallbackFrames, frames = 17640;  // 176 periods of 440 Hz
    const double before = Amplitude(off, from, frames, 440);
    ASSERT_GT(before, 0.01);
    EXPECT_LT(Db(Amplitude(on, from, frames, 440) / before), -10.0);
    EXPECT_LT(Db(fft_on[20] / fft_off[20]), -10.0);
}

}  // namespace
