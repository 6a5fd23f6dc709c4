// A real station: Icecast on 127.0.0.1 fed by ffmpeg (tests/support/icecast_server.py). The
// stream plays and its metadata text carries the current title, changing when the source
// changes it; when the server goes away the stream stays stalled and plays again, by itself,
// once the server is back.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "audio_engine.h"
#include "test_media.h"
#include "test_servers.h"

using namespace std::chrono_literals;

namespace {

class Radio : public ::testing::Test {
  protected:
    void SetUp() override {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        ASSERT_NO_FATAL_FAILURE(StartServer(0));
    }
    // port: 0 for any free one, else the port of a server that went away.
    void StartServer(int port) {
        station_.reset();
        station_.emplace(dir_.Path("icecast" + std::to_string(++servers_started_) + ".json"),
                         testservers::StationOptions{.port = port});
        ASSERT_TRUE(station_->ready());
        url_ = station_->url();
        port_ = station_->port();
    }
    void StopServer() { station_->Stop(); }
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
        station_.reset();
    }
    bool SetTitle(const std::string &title) { return station_->SetTitle(title); }
    std::string Meta() {
        const char *text = BASS_ChannelGetTags(handle_, BASS_TAG_META);
        return text ? text : "";
    }

    testmedia::TempDir dir_;
    int servers_started_ = 0;
    std::optional<testservers::IcecastStation> station_;
    std::string url_;
    int port_ = 0;
    HSTREAM handle_ = 0;
};

TEST_F(Radio, Station_PlaysWithCurrentTitleAndFollowsChanges) {
    auto start = std::chrono::steady_clock::now();
    handle_ = BASS_StreamCreateURL(url_.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u);
    EXPECT_LT(testmedia::SecondsSince(start), 5.0);
    EXPECT_EQ(BASS_ChannelGetLength(handle_, BASS_POS_BYTE), ~QWORD{0});
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    BASS_ChannelSetAttribute(handle_, BASS_ATTRIB_VOL, 0.5f);

    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return Meta().rfind("StreamTitle='First Song';", 0) == 0; }, 10s))
        << Meta();
    // It plays: the position moves and the spectrum shows the 440 Hz tone (bin 20).
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle_) == BASS_ACTIVE_PLAYING; }, 5s));
    QWORD before = BASS_ChannelGetPosition(handle_, BASS_POS_BYTE);
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(BASS_ChannelGetPosition(handle_, BASS_POS_BYTE), before);
    float fft[1026] = {};
    ASSERT_NE(BASS_ChannelGetData(handle_, fft, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_EQ(std::max_element(fft, fft + 1024) - fft, 20);

    ASSERT_TRUE(SetTitle("Second Song"));
    EXPECT_TRUE(testmedia::WaitUntil(
        [&] { return Meta().rfind("StreamTitle='Second Song';", 0) == 0; }, 10s))
        << Meta();
    EXPECT_NE(BASS_ChannelIsActive(handle_), 0u);
}

TEST_F(Radio, ServerGoesAwayAndComesBack_StalledMeanwhileThenPlaysAgain) {
    handle_ = BASS_StreamCreateURL(url_.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle_) == BASS_ACTIVE_PLAYING; }, 5s));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return Meta().rfind("StreamTitle='First Song';", 0) == 0; }, 10s));
    StopServer();
    // The buffer (up to two seconds of sound) drains, then the stream waits, stalled: never
    // stopped, so that the player does not move on; the title stays.
    auto gone = std::chrono::steady_clock::now();
    bool stalled = false;
    while (testmedia::SecondsSince(gone) < 4.0) {
        DWORD activity = BASS_ChannelIsActive(handle_);
        ASSERT_NE(activity, BASS_ACTIVE_STOPPED);
        stalled |= activity == BASS_ACTIVE_STALLED;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(stalled);
    EXPECT_EQ(Meta().rfind("StreamTitle='First Song';", 0), 0u);
    ASSERT_NO_FATAL_FAILURE(StartServer(port_));
    auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle_) == BASS_ACTIVE_PLAYING; }, 5s));
    double seconds = testmedia::SecondsSince(back);
    std::printf("sound back %.0f ms after the server\n", seconds * 1000);
    EXPECT_LT(seconds, 2.0);
    EXPECT_EQ(Meta().rfind("StreamTitle='First Song';", 0), 0u);
}

}  // namespace
