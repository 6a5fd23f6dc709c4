// What reaches the device: SDL's disk driver records the output of a child process of this
// test program, and the recording shows the volume's effect, the pitch and no clicks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "audio_engine.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

// Runs in the child: plays the file at full volume, then at a quarter.
TEST(VolumeOutputChild, DISABLED_PlayFileAtTwoVolumes) {
    const char *file = std::getenv("VOLNAR_CHILD_FILE");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    HSTREAM handle = BASS_StreamCreateFile(FALSE, file, 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    std::this_thread::sleep_for(600ms);
    ASSERT_TRUE(BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, 0.25f));
    std::this_thread::sleep_for(1200ms);
    BASS_StreamFree(handle);
}

double Rms(const std::vector<float> &left, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += left[i] * left[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

TEST(VolumeOutput, VolumeChange_ScalesOutputAtOnceWithoutClick) {
    testmedia::TempDir dir;
    std::string wav = dir.Path("tone.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                    testmedia::Sine(441, 3.0, 44100, 2, 0.5)));
    std::string recording = dir.Path("out.raw");
    ASSERT_EQ(testmedia::RunTestInChild("VolumeOutputChild.DISABLED_PlayFileAtTwoVolumes",
                                        {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + recording,
                                         "VOLNAR_CHILD_FILE=" + wav}),
              0);
    auto bytes = testmedia::ReadBytes(recording);
    std::vector<float> left;
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        float value;
        std::memcpy(&value, bytes.data() + i, 4);
        left.push_back(value);
    }
    // Skip the silence before the stream started.
    std::size_t start = 0;
    while (start < left.size() && std::abs(left[start]) < 1e-4f)
        ++start;
    ASSERT_GT(left.size(), start + 44100);
    std::size_t first_end = start + 44100 / 2;  // before the change at 0.6 s
    double loud = Rms(left, start + 4410, first_end);
    EXPECT_NEAR(loud, 0.5 / std::sqrt(2.0), 0.02);
    // After the change (allowing half a second for when the child's sleep ended), a quarter.
    std::size_t quiet_from = start + 44100 * 11 / 10;
    std::size_t quiet_to = std::min(left.size(), start + 44100 * 17 / 10);
    ASSERT_GT(quiet_to, quiet_from + 4410);
    EXPECT_NEAR(Rms(left, quiet_from, quiet_to), loud * 0.25, 0.01);
    // Pitch: 441 Hz crosses zero upwards 441 times a second.
    int crossings = 0;
    for (std::size_t i = start + 1; i < start + 44100 / 2; ++i)
        if (left[i - 1] < 0 && left[i] >= 0) ++crossings;
    EXPECT_NEAR(crossings, 441 * 0.5, 3);
    // No click: a 441 Hz sine at 0.5 moves at most ~0.031 a sample.
    float jump = 0;
    for (std::size_t i = start + 1; i < quiet_to; ++i)
        jump = std::max(jump, std::abs(left[i] - left[i - 1]));
    EXPECT_LT(jump, 0.05f);
}

}  // namespace
