// With no output device (device 0, or none that opens) the engine runs on a silent clock:
// positions, ends and the spectrum behave as with a device. Each case runs in a child
// process, since the output is chosen once a process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "audio_engine.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

double Position(HSTREAM handle) {
    return BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle, BASS_POS_BYTE));
}

TEST(SilentClockChild, DISABLED_PlaysInRealTime) {
    const char *file = std::getenv("VOLNAR_CHILD_FILE");
    const char *device = std::getenv("VOLNAR_CHILD_DEVICE");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(BASS_Init(std::atoi(device), 44100, 0, nullptr, nullptr));
    HSTREAM handle = BASS_StreamCreateFile(FALSE, file, 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil([&] { return Position(handle) > 0.05; }, 1s));
    double first = Position(handle);
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1s);
    EXPECT_NEAR((Position(handle) - first) / testmedia::SecondsSince(start), 1.0, 0.03);
    float fft[1026] = {};
    ASSERT_NE(BASS_ChannelGetData(handle, fft, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_NEAR(fft[20], 1.0f, 0.05f);
    EXPECT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; }, 3s));
}

TEST(SilentClock, NoSoundDevice_PlaysInRealTimeAndEnds) {
    testmedia::TempDir dir;
    std::string wav = dir.Path("t.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kFloat32,
                                    testmedia::Sine(20 * 44100.0 / 2048, 2.0, 44100, 2)));
    EXPECT_EQ(testmedia::RunTestInChild("SilentClockChild.DISABLED_PlaysInRealTime",
                                        {"VOLNAR_CHILD_FILE=" + wav, "VOLNAR_CHILD_DEVICE=0"}),
              0);
}

TEST(SilentClock, DeviceThatCannotOpen_FallsBackToTheClock) {
    testmedia::TempDir dir;
    std::string wav = dir.Path("t.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kFloat32,
                                    testmedia::Sine(20 * 44100.0 / 2048, 2.0, 44100, 2)));
    // The default device, through a driver that does not exist.
    EXPECT_EQ(testmedia::RunTestInChild("SilentClockChild.DISABLED_PlaysInRealTime",
                                        {"VOLNAR_CHILD_FILE=" + wav, "VOLNAR_CHILD_DEVICE=-1",
                                         "SDL_AUDIODRIVER=no-such-driver"}),
              0);
}

}  // namespace
