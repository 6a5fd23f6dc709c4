// The equaliser's filters on their own (equalizer.h): full-scale sound through every preset
// never leaves +-1, a bypass leaves every bit as it was, and the call's arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "audio_engine.h"
#include "equalizer.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 2048;  // frames a mix hands over at a time

engine::EqSettings Design(const float *gains, int bands, std::uint64_t generation) {
    engine::EqSettings settings;
    EXPECT_TRUE(engine::DesignEqualizer(gains, bands, &settings));
    settings.generation = generation;
    return settings;
}

// Runs interleaved stereo frames through `settings` a buffer at a time; the largest sample.
float LargestThrough(engine::EqState &state, const engine::EqSettings &settings,
                     std::vector<float> frames) {
    float largest = 0;
    for (std::size_t at = 0; at < frames.size(); at += kBuffer * 2) {
        const int count =
            static_cast<int>(std::min<std::size_t>(kBuffer, (frames.size() - at) / 2));
        engine::RunEqualizer(state, settings, frames.data() + at, count);
        for (int i = 0; i < count * 2; ++i)
            largest = std::max(largest, std::abs(frames[at + i]));
    }
    return largest;
}

std::vector<float> Stereo(const std::vector<float> &mono) {
    std::vector<float> frames(mono.size() * 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        frames[i * 2] = frames[i * 2 + 1] = mono[i];
    return frames;
}

// Full scale in the shapes that find a filter's overshoot: a slow sweep over every band,
// white noise (left and right apart), square waves under, in and above the bands, and the
// highest frequency there is.
std::vector<std::vector<float>> FullScaleSignals() {
    std::vector<std::vector<float>> signals;
    std::vector<float> sweep(4 * kRate);
    double phase = 0;
    for (std::size_t i = 0; i < sweep.size(); ++i) {
        const double f = 20.0 * std::pow(1000.0, static_cast<double>(i) / sweep.size());
        phase += 2 * std::numbers::pi * f / kRate;
        sweep[i] = static_cast<float>(std::sin(phase));
    }
    signals.push_back(Stereo(sweep));
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> noise(4 * kRate * 2);
    for (float &v : noise)
        v = uniform(random);
    signals.push_back(noise);
    for (double f : {31.25, 62.5, 250.0, 1000.0, 4000.0, 11025.0}) {
        std::vector<float> square(kRate / 2);
        for (std::size_t i = 0; i < square.size(); ++i)
            square[i] = std::fmod(i * f / kRate, 1.0) < 0.5 ? 1.0f : -1.0f;
        signals.push_back(Stereo(square));
    }
    return signals;
}

TEST(EqualizerFilters, EveryPreset_FullScaleSweepNoiseAndSquares_StayWithinOne) {
    const auto signals = FullScaleSignals();
    for (DWORD preset = 0; preset < BASS_EQ_PRESET_COUNT; ++preset) {
        const engine::EqSettings settings = Design(BASS_EQ_PRESETS[preset], BASS_EQ_BANDS, 1);
        for (std::size_t s = 0; s < signals.size(); ++s) {
            engine::EqState state;
            EXPECT_LE(LargestThrough(state, settings, signals[s]), 1.0f)
                << "preset " << preset << ", signal " << s;
        }
    }
    // The pre-gain alone keeps a sine within 1: the loudest one, at the top of the curve,
    // comes out at full scale, not held down further by the guard.
    const float lift[BASS_EQ_BANDS] = {0, 0, 0, 0, 0, 12};
    const engine::EqSettings settings = Design(lift, BASS_EQ_BANDS, 1);
    std::vector<float> sine(kRate);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<float>(std::sin(2 * std::numbers::pi * 1000 * i / kRate));
    engine::EqState state;
    const float largest = LargestThrough(state, settings, Stereo(sine));
    EXPECT_LE(largest, 1.0f);
    EXPECT_GT(largest, 0.995f);
}

TEST(EqualizerFilters, Bypass_LeavesEveryBitAsItWas) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> uniform(-1.5f, 1.5f);  // decoders may go beyond 1
    std::vector<float> frames(kBuffer * 2 * 4);
    for (float &v : frames)
        v = uniform(random);
    const std::vector<float> original = frames;
    const float zeros[BASS_EQ_BANDS] = {};
    const engine::EqSettings off = Design(zeros, BASS_EQ_BANDS, 1);
    const engine::EqSettings none = Design(nullptr, 0, 2);
    EXPECT_TRUE(off.Bypassed());
    EXPECT_TRUE(none.Bypassed());
    engine::EqState state;
    engine::RunEqualizer(state, off, frames.data(), kBuffer);
    engine::RunEqualizer(state, none, frames.data() + kBuffer * 2, kBuffer);
    EXPECT_EQ(std::memcmp(frames.data(), original.data(), kBuffer * 2 * 2 * sizeof(float)), 0);
    // Switched off while playing: the buffer of the change moves back to the dry sound, and
    // from the next one on nothing is touched.
    const engine::EqSettings rock = Design(BASS_EQ_PRESETS[BASS_EQ_ROCK], BASS_EQ_BANDS, 3);
    engine::RunEqualizer(state, rock, frames.data() + kBuffer * 4, kBuffer);
    const engine::EqSettings off_again = Design(zeros, BASS_EQ_BANDS, 4);
    std::vector<float> last(original.end() - kBuffer * 2, original.end());
    std::vector<float> change = last;
    engine::RunEqualizer(state, off_again, change.data(), kBuffer);
    EXPECT_NE(change, last);
    std::vector<float> after = last;
    engine::RunEqualizer(state, off_again, after.data(), kBuffer);
    EXPECT_EQ(std::memcmp(after.data(), last.data(), after.size() * sizeof(float)), 0);
}

TEST(EqualizerCall, Arguments_BadOnesRefusedWithTheReason) {
    const float gains[BASS_EQ_BANDS] = {3, 2, 1};
    EXPECT_TRUE(BASS_SetEqualizer(gains, 3));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_TRUE(BASS_SetEqualizer(nullptr, 0));
    EXPECT_FALSE(BASS_SetEqualizer(gains, BASS_EQ_BANDS + 1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_SetEqualizer(nullptr, 2));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    const float bad[] = {0, NAN, 0};
    EXPECT_FALSE(BASS_SetEqualizer(bad, 3));
    const float infinite[] = {INFINITY};
    EXPECT_FALSE(BASS_SetEqualizer(infinite, 1));
    // Beyond the range: taken as 12 dB, which lowers the sound by exactly 12 dB.
    const float huge[] = {0, 0, 0, 0, 0, 1e6f};
    engine::EqSettings settings;
    ASSERT_TRUE(engine::DesignEqualizer(huge, 6, &settings));
    EXPECT_NEAR(20 * std::log10(settings.pregain), -12.0, 0.01);
    EXPECT_TRUE(BASS_SetEqualizer(huge, 6));
}

}  // namespace
