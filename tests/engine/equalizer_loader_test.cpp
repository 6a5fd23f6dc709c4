// The player's side of the equaliser (src/engine_loader): a setting made before the engine
// is loaded, as the player makes it at start-up, is checked at once and reaches the first
// stream once something plays.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "audio_engine.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

TEST(EqualizerLoader, SetBeforeTheEngineLoads_HeardInTheFirstStream) {
    const float cut[BASS_EQ_BANDS] = {0, 0, 0, 0, 0, -12};  // 1 kHz down by 12 dB
    EXPECT_FALSE(BASS_SetEqualizer(cut, BASS_EQ_BANDS + 1));
    EXPECT_FALSE(BASS_SetEqualizer(nullptr, 1));
    const float bad[] = {NAN};
    EXPECT_FALSE(BASS_SetEqualizer(bad, 1));
    ASSERT_TRUE(BASS_SetEqualizer(cut, BASS_EQ_BANDS));
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));

    testmedia::TempDir dir;
    const std::string path = dir.Path("tone.wav");
    const int bin = 46;  // 990.5 Hz, at the centre of the transform's bin
    ASSERT_TRUE(testmedia::WriteWav(path, 44100, 2, testmedia::SampleKind::kInt16,
                                    testmedia::Sine(bin * 44100.0 / 2048, 3.0, 44100, 2, 0.5)));
    const HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    std::this_thread::sleep_for(500ms);
    float fft[1026] = {};
    ASSERT_NE(BASS_ChannelGetData(handle, fft, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_NEAR(20 * std::log10(fft[bin] / 0.5), -12.0, 1.0);
    // Off from here on, through the engine itself.
    ASSERT_TRUE(BASS_SetEqualizer(nullptr, 0));
    std::this_thread::sleep_for(300ms);
    ASSERT_NE(BASS_ChannelGetData(handle, fft, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_NEAR(20 * std::log10(fft[bin] / 0.5), 0.0, 0.5);
    BASS_StreamFree(handle);
}

}  // namespace
