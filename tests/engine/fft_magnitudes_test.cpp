// BASS_ChannelGetData with the 2048-sample FFT: 1024 magnitudes of what is heard, a
// full-scale sine giving 1.0 in its bin whatever the volume, zeros when nothing plays.
#include <gtest/gtest.h>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <thread>
#include <vector>

#include "audio_engine.h"
#include "fft_magnitudes.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

constexpr double BinFrequency(int bin) {
    return bin * 44100.0 / 2048;
}

TEST(Spectrum, FullScaleSineInBin_GivesOneInThatBin) {
    engine::Spectrum spectrum;
    for (int bin : {5, 20, 41, 300, 1000}) {
        auto samples = testmedia::Sine(BinFrequency(bin), 2048 / 44100.0, 44100, 1);
        float out[1024];
        ASSERT_TRUE(spectrum.Compute(samples.data(), out));
        EXPECT_NEAR(out[bin], 1.0f, 0.01f) << bin;
        EXPECT_LT(out[bin + 3], 0.01f);
        EXPECT_LT(out[bin - 3], 0.01f);
    }
}

TEST(Spectrum, Silence_GivesZeros) {
    engine::Spectrum spectrum;
    float silence[2048] = {};
    float out[1024];
    ASSERT_TRUE(spectrum.Compute(silence, out));
    EXPECT_EQ(*std::max_element(out, out + 1024), 0.0f);
}

// The magnitudes are those of hypotf bit for bit (the bars round them at exact edges), and
// samples that are not numbers give no crash and no finite garbage in the bins they reach.
TEST(Spectrum, Magnitudes_EqualHypotOfTheBinsExactly) {
    engine::Spectrum spectrum;
    auto samples = testmedia::Sine(BinFrequency(7), 2048 / 44100.0, 44100, 1);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = samples[i] * 0.3f + 0.001f * static_cast<float>(i % 17);
    float out[1024];
    ASSERT_TRUE(spectrum.Compute(samples.data(), out));
    // The same transform again, by hand: the window, FFTW, hypotf.
    std::vector<float> input(2048);
    for (int i = 0; i < 2048; ++i)
        input[i] =
            samples[i] * (0.5f * (1.0f - std::cos(2.0f * std::numbers::pi_v<float> * i / 2048)));
    std::vector<fftwf_complex> bins(1025);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(2048, input.data(), bins.data(), FFTW_ESTIMATE);
    fftwf_execute(plan);
    fftwf_destroy_plan(plan);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(out[i], std::hypot(bins[i][0], bins[i][1]) * (4.0f / 2048)) << i;

    samples[100] = std::numeric_limits<float>::quiet_NaN();
    samples[200] = std::numeric_limits<float>::infinity();
    ASSERT_TRUE(spectrum.Compute(samples.data(), out));
    EXPECT_FALSE(std::isfinite(out[7]));
}

class SpectrumCall : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, 44100, 0, nullptr, nullptr); }
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
    }
    void CreateSine(int bin, int channels, int rate = 44100) {
        std::string path = dir_.Path("sine.wav");
        ASSERT_TRUE(testmedia::WriteWav(path, rate, channels, testmedia::SampleKind::kFloat32,
                                        testmedia::Sine(BinFrequency(bin), 5.0, rate, channels)));
        handle_ = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        ASSERT_NE(handle_, 0u);
    }
    std::vector<float> Fft() {
        std::vector<float> out(1026, 0.0f);
        BASS_ChannelGetData(handle_, out.data(), BASS_DATA_FFT2048);
        return out;
    }

    testmedia::TempDir dir_;
    HSTREAM handle_ = 0;
};

TEST_F(SpectrumCall, PlayingFullScaleSine_PeaksNearOneAtItsBin) {
    CreateSine(20, 2);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    std::this_thread::sleep_for(300ms);
    auto out = Fft();
    EXPECT_NEAR(out[20], 1.0f, 0.05f);
    EXPECT_EQ(std::max_element(out.begin(), out.begin() + 1024) - out.begin(), 20);
    EXPECT_EQ(out[1024], 0.0f);  // only 1024 values written
    EXPECT_EQ(out[1025], 0.0f);
}

TEST_F(SpectrumCall, MonoFileAtOtherRate_PeaksNearOneAtItsBin) {
    CreateSine(30, 1, 22050);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    std::this_thread::sleep_for(300ms);
    EXPECT_NEAR(Fft()[30], 1.0f, 0.05f);
}

TEST_F(SpectrumCall, LowVolume_DoesNotChangeMagnitudes) {
    CreateSine(12, 2);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    ASSERT_TRUE(BASS_ChannelSetAttribute(handle_, BASS_ATTRIB_VOL, 0.1f));
    std::this_thread::sleep_for(300ms);
    EXPECT_NEAR(Fft()[12], 1.0f, 0.05f);
}

TEST_F(SpectrumCall, NotPlayingOrPaused_AllZero) {
    CreateSine(12, 2);
    auto before = Fft();
    EXPECT_EQ(*std::max_element(before.begin(), before.end()), 0.0f);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(BASS_ChannelPause(handle_));
    auto paused = Fft();
    EXPECT_EQ(*std::max_element(paused.begin(), paused.end()), 0.0f);
}

TEST_F(SpectrumCall, BadHandleBufferOrFlags_FailsAndLeavesBufferAlone) {
    CreateSine(12, 2);
    std::vector<float> out(1026, 7.0f);
    EXPECT_EQ(BASS_ChannelGetData(0, out.data(), BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ChannelGetData(handle_, nullptr, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ChannelGetData(handle_, out.data(), 4096), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ChannelGetData(handle_, out.data(), 0x80000004u), 0xFFFFFFFFu);
    EXPECT_EQ(out[0], 7.0f);
}

}  // namespace
