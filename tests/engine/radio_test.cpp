// A real station: Icecast on 127.0.0.1 fed by ffmpeg (tests/support/icecast_server.py). The
// stream plays and its metadata text carries the current title, changing when the source
// changes it; when the server goes away the stream stays stalled and plays again, by itself,
// once the server is back.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <thread>

#include "audio_engine.h"
#include "test_media.h"

extern char **environ;
using namespace std::chrono_literals;

namespace {

const std::string kScript = std::string(VOLNAR_SUPPORT_DIR) + "/icecast_server.py";

pid_t Spawn(std::vector<std::string> args) {
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int RunToEnd(std::vector<std::string> args) {
    pid_t pid = Spawn(std::move(args));
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Radio : public ::testing::Test {
  protected:
    void SetUp() override {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        ASSERT_NO_FATAL_FAILURE(StartServer({}));
    }
    // port: empty for any free one, else the port of a server that went away.
    void StartServer(const std::string &port) {
        info_ = dir_.Path("icecast" + std::to_string(++servers_started_) + ".json");
        std::vector<std::string> args = {
            "/usr/bin/python3", kScript, "serve", "--info-file", info_, "--title", "First Song"};
        if (!port.empty()) {
            args.push_back("--port");
            args.push_back(port);
        }
        server_ = Spawn(args);
        ASSERT_GT(server_, 0);
        ASSERT_TRUE(testmedia::WaitUntil([&] { return access(info_.c_str(), R_OK) == 0; }, 30s));
        std::ifstream file(info_);
        std::string json((std::istreambuf_iterator<char>(file)), {});
        std::smatch match;
        ASSERT_TRUE(std::regex_search(json, match, std::regex("\"url\": \"([^\"]+)\"")));
        url_ = match[1];
        ASSERT_TRUE(std::regex_search(json, match, std::regex("\"port\": (\\d+)")));
        port_ = match[1];
    }
    void StopServer() {
        kill(server_, SIGTERM);
        int status;
        waitpid(server_, &status, 0);
        server_ = -1;
    }
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
        if (server_ > 0) {
            kill(server_, SIGTERM);
            int status;
            waitpid(server_, &status, 0);
        }
    }
    bool SetTitle(const std::string &title) {
        return RunToEnd({"/usr/bin/python3", kScript, "title", "--info-file", info_, title}) == 0;
    }
    std::string Meta() {
        const char *text = BASS_ChannelGetTags(handle_, BASS_TAG_META);
        return text ? text : "";
    }

    testmedia::TempDir dir_;
    int servers_started_ = 0;
    std::string info_, url_, port_;
    pid_t server_ = -1;
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
