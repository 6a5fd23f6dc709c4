// Every call with handle 0 or a freed handle fails without effect; arguments out of range
// fail or are clamped; a thousand create/free cycles leave nothing behind.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio_engine.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

int CountEntries(const char *folder) {
    int count = 0;
    if (DIR *dir = opendir(folder)) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

class Handles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, 44100, 0, nullptr, nullptr); }
    void SetUp() override {
        path_ = dir_.Path("t.wav");
        ASSERT_TRUE(testmedia::WriteWav(path_, 44100, 2, testmedia::SampleKind::kInt16,
                                        testmedia::Sine(440, 2.0, 44100, 2, 0.5)));
    }
    HSTREAM Create() { return BASS_StreamCreateFile(FALSE, path_.c_str(), 0, 0, 0); }

    void ExpectEveryCallFails(DWORD handle) {
        float fft[1026] = {};
        EXPECT_FALSE(BASS_ChannelPlay(handle, FALSE));
        EXPECT_FALSE(BASS_ChannelPlay(handle, TRUE));
        EXPECT_FALSE(BASS_ChannelPause(handle));
        EXPECT_FALSE(BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, 0.5f));
        EXPECT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_STOPPED);
        EXPECT_FALSE(BASS_ChannelSetPosition(handle, 0, BASS_POS_BYTE));
        EXPECT_EQ(BASS_ChannelGetLength(handle, BASS_POS_BYTE), ~QWORD{0});
        EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_BYTE), ~QWORD{0});
        EXPECT_LT(BASS_ChannelBytes2Seconds(handle, 176400), 0.0);
        EXPECT_EQ(BASS_ChannelGetData(handle, fft, BASS_DATA_FFT2048), 0xFFFFFFFFu);
        EXPECT_EQ(fft[0], 0.0f);
        EXPECT_EQ(BASS_ChannelGetTags(handle, BASS_TAG_ID3), nullptr);
        EXPECT_EQ(BASS_ChannelGetTags(handle, BASS_TAG_META), nullptr);
        EXPECT_FALSE(BASS_StreamFree(handle));
    }

    testmedia::TempDir dir_;
    std::string path_;
};

TEST_F(Handles, ZeroHandle_EveryCallFails) {
    ExpectEveryCallFails(0);
}

TEST_F(Handles, MadeUpHandles_EveryCallFails) {
    HSTREAM live = Create();
    ASSERT_NE(live, 0u);
    ExpectEveryCallFails(live + 1);
    ExpectEveryCallFails(live ^ 0x80000000u);
    ExpectEveryCallFails(0xFFFFFFFFu);
    EXPECT_EQ(BASS_ChannelGetLength(live, BASS_POS_BYTE), QWORD(2 * 44100) * 4);
    BASS_StreamFree(live);
}

TEST_F(Handles, FreedHandle_EveryCallFailsAndNextStreamIsUntouched) {
    HSTREAM old = Create();
    ASSERT_NE(old, 0u);
    ASSERT_TRUE(BASS_StreamFree(old));
    HSTREAM next = Create();
    ASSERT_NE(next, 0u);
    EXPECT_NE(next, old);
    ExpectEveryCallFails(old);
    EXPECT_EQ(BASS_ChannelIsActive(next), BASS_ACTIVE_STOPPED);
    EXPECT_TRUE(BASS_ChannelPlay(next, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(next), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(BASS_StreamFree(next));
}

TEST_F(Handles, FreePlayingStream_StopsAtOnce) {
    HSTREAM handle = Create();
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    std::this_thread::sleep_for(100ms);
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(BASS_StreamFree(handle));
    EXPECT_LT(testmedia::SecondsSince(start), 0.1);
    EXPECT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_STOPPED);
}

// The threads of SDL's open playback devices, by id.
std::vector<std::string> SdlAudioThreads() {
    std::vector<std::string> found;
    DIR *dir = opendir("/proc/self/task");
    if (!dir) return found;
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const std::string id = entry->d_name;
        std::FILE *comm = std::fopen(("/proc/self/task/" + id + "/comm").c_str(), "r");
        if (!comm) continue;
        char name[32] = {};
        if (std::fgets(name, sizeof name, comm) && std::strncmp(name, "SDLAudioP", 9) == 0)
            found.push_back(id);
        std::fclose(comm);
    }
    closedir(dir);
    return found;
}

// SDL's thread names itself once it runs: its threads as soon as there are `count`, or
// after a second.
std::vector<std::string> SdlAudioThreadsOnceThere(std::size_t count) {
    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> found = SdlAudioThreads();
    while (found.size() < count && testmedia::SecondsSince(start) < 1) {
        std::this_thread::sleep_for(5ms);
        found = SdlAudioThreads();
    }
    return found;
}

// A change of track neither waits for the device to close nor opens it again; an idle
// player closes it soon after.
TEST_F(Handles, LastStreamFreed_DeviceKeptForTheNextThenClosed) {
    HSTREAM first = Create();
    ASSERT_TRUE(BASS_ChannelPlay(first, FALSE));
    const std::vector<std::string> device = SdlAudioThreadsOnceThere(1);
    ASSERT_EQ(device.size(), 1u) << "the tests play on SDL's dummy device";
    ASSERT_TRUE(BASS_StreamFree(first));
    HSTREAM next = Create();
    ASSERT_TRUE(BASS_ChannelPlay(next, FALSE));
    EXPECT_EQ(SdlAudioThreads(), device);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(BASS_ChannelGetPosition(next, BASS_POS_BYTE), 0u);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_StreamFree(next));
    EXPECT_LT(testmedia::SecondsSince(start), 0.1);
    EXPECT_EQ(SdlAudioThreads(), device);  // kept a while for a next track
    while (!SdlAudioThreads().empty() && testmedia::SecondsSince(start) < 5)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(SdlAudioThreads().empty());
    EXPECT_GT(testmedia::SecondsSince(start), 0.5);

    // And opened again for the stream after that.
    HSTREAM later = Create();
    ASSERT_TRUE(BASS_ChannelPlay(later, FALSE));
    EXPECT_EQ(SdlAudioThreadsOnceThere(1).size(), 1u);
    std::this_thread::sleep_for(200ms);
    EXPECT_GT(BASS_ChannelGetPosition(later, BASS_POS_BYTE), 0u);
    BASS_StreamFree(later);
}

TEST_F(Handles, VolumeOutOfRange_ClampedAndNanOrUnknownAttributeRejected) {
    HSTREAM handle = Create();
    EXPECT_TRUE(BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, 7.0f));
    EXPECT_TRUE(BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, -3.0f));
    EXPECT_FALSE(BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, std::nanf("")));
    EXPECT_FALSE(BASS_ChannelSetAttribute(handle, 1, 0.5f));
    EXPECT_FALSE(BASS_ChannelSetAttribute(handle, 99, 0.5f));
    BASS_StreamFree(handle);
}

TEST_F(Handles, UnknownTagType_Null) {
    HSTREAM handle = Create();
    EXPECT_EQ(BASS_ChannelGetTags(handle, 1), nullptr);
    EXPECT_EQ(BASS_ChannelGetTags(handle, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(BASS_ChannelGetTags(handle, BASS_TAG_META), nullptr);  // files send none
    BASS_StreamFree(handle);
}

TEST_F(Handles, InitTwice_SecondFailsAndEngineKeepsWorking) {
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(-5, 44100, 0, nullptr, nullptr));
    HSTREAM handle = Create();
    EXPECT_NE(handle, 0u);
    BASS_StreamFree(handle);
}

TEST_F(Handles, ThousandCreateFreeCycles_LeaveNoThreadsOrFiles) {
    std::string mp3 = dir_.Path("t.mp3");
    ASSERT_TRUE(testmedia::Ffmpeg(path_, "-c:a libmp3lame -b:a 128k", mp3));
    auto create = [&] { return BASS_StreamCreateFile(FALSE, mp3.c_str(), 0, 0, 0); };
    // Warm up once so lazily made library state is not counted.
    BASS_StreamFree(create());
    int threads = CountEntries("/proc/self/task");
    int files = CountEntries("/proc/self/fd");
    std::vector<HSTREAM> seen;
    for (int i = 0; i < 1000; ++i) {
        HSTREAM handle = create();
        ASSERT_NE(handle, 0u);
        if (i % 3 == 0) BASS_ChannelPlay(handle, FALSE);
        if (i < 20) seen.push_back(handle);
        ASSERT_TRUE(BASS_StreamFree(handle));
    }
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    EXPECT_EQ(CountEntries("/proc/self/fd"), files);
    for (HSTREAM old : seen)
        EXPECT_EQ(BASS_ChannelIsActive(old), BASS_ACTIVE_STOPPED);
}

TEST_F(Handles, ManyStreamsAtOnce_AllValidAndDistinct) {
    std::vector<HSTREAM> handles;
    for (int i = 0; i < 40; ++i)
        handles.push_back(Create());
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(std::adjacent_find(handles.begin(), handles.end()), handles.end());
    EXPECT_NE(handles.front(), 0u);
    for (HSTREAM handle : handles)
        EXPECT_TRUE(BASS_StreamFree(handle));
}

}  // namespace
