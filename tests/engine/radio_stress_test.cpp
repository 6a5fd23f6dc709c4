// A healthy station opens every time: 300 starts in a row of one real Icecast station
// (create, play, first audio within 2 s, free), with the usual source, with a small metadata
// interval, with the source at 32 and at 320 kbit/s, and as AAC. Each start joins the stream at
// another point, so a rare bad point (an unlucky first byte, a metadata block at a read
// boundary) shows up here. A program of its own, each case a CTest test of its own. At
// 32 kbit/s Icecast itself takes over a second to send a new listener its first audio, so
// that case runs for about seven minutes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <thread>

#include "audio_engine.h"
#include "engine_probe.h"
#include "test_media.h"

extern char **environ;
using namespace std::chrono_literals;

namespace {

constexpr int kStarts = 300;

struct Source {
    const char *name;
    const char *bitrate;
    int metaint;  // 0: Icecast's own
    const char *codec = "mp3";
};

class RadioStress : public ::testing::TestWithParam<Source> {
  protected:
    void SetUp() override {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        info_ = dir_.Path("icecast.json");
        std::vector<std::string> args = {"/usr/bin/python3",
                                         std::string(VOLNAR_SUPPORT_DIR) + "/icecast_server.py",
                                         "serve",
                                         "--info-file",
                                         info_,
                                         "--title",
                                         "Stress",
                                         "--bitrate",
                                         GetParam().bitrate};
        args.push_back("--codec");
        args.push_back(GetParam().codec);
        if (GetParam().metaint > 0) {
            args.push_back("--metaint");
            args.push_back(std::to_string(GetParam().metaint));
        }
        std::vector<char *> argv;
        for (auto &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&server_, argv[0], nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(testmedia::WaitUntil([&] { return access(info_.c_str(), R_OK) == 0; }, 30s));
        std::ifstream file(info_);
        std::string json((std::istreambuf_iterator<char>(file)), {});
        std::smatch match;
        ASSERT_TRUE(std::regex_search(json, match, std::regex("\"url\": \"([^\"]+)\"")));
        url_ = match[1];
    }
    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            int status;
            waitpid(server_, &status, 0);
        }
    }

    testmedia::TempDir dir_;
    std::string info_, url_;
    pid_t server_ = -1;
};

TEST_P(RadioStress, EveryStartPlays) {
    std::vector<int> failed;
    double slowest = 0;
    for (int i = 0; i < kStarts; ++i) {
        auto start = std::chrono::steady_clock::now();
        HSTREAM handle = BASS_StreamCreateURL(url_.c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(handle, 0u);
        BASS_ChannelPlay(handle, FALSE);
        bool heard = testmedia::WaitUntil([&] { return engine::FirstFrameNs(handle) != 0; }, 2s);
        if (heard) {
            slowest = std::max(slowest, testmedia::SecondsSince(start));
        } else {
            BASS_ChannelIsActive(handle);
            failed.push_back(i);
            ADD_FAILURE() << "start " << i << " not heard within 2 s; activity "
                          << BASS_ChannelIsActive(handle) << ", reason " << BASS_ErrorGetCode();
        }
        BASS_StreamFree(handle);
    }
    EXPECT_TRUE(failed.empty()) << failed.size() << " of " << kStarts << " starts failed";
    std::printf("%d of %d starts heard; slowest %.0f ms\n", kStarts - int(failed.size()), kStarts,
                slowest * 1000);
}

INSTANTIATE_TEST_SUITE_P(Sources, RadioStress,
                         ::testing::Values(Source{"Mp3At128", "128k", 0},
                                           Source{"SmallMetadataInterval", "128k", 512},
                                           Source{"Mp3At32", "32k", 0},
                                           Source{"Mp3At320", "320k", 0},
                                           Source{"AacAt128", "128k", 0, "aac"}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
