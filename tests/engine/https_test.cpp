// A station over https: a TLS server of the test's own (openssl s_server with a certificate
// made for the test) on 127.0.0.1 serves an MP3.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "audio_engine.h"
#include "fake_http_server.h"
#include "test_media.h"

extern char **environ;
using namespace std::chrono_literals;

namespace {

class Https : public ::testing::Test {
  protected:
    void SetUp() override {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        std::string wav = dir_.Path("s.wav");
        ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                        testmedia::Sine(440, 3.0, 44100, 2, 0.5)));
        ASSERT_TRUE(testmedia::Ffmpeg(wav, "-c:a libmp3lame -b:a 128k", dir_.Path("s.mp3")));
        std::string make_certificate =
            "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 1 -keyout '" +
            dir_.Path("key.pem") + "' -out '" + dir_.Path("cert.pem") + "' 2>/dev/null";
        ASSERT_EQ(std::system(make_certificate.c_str()), 0);
        port_ = testmedia::ClosedPort();
        std::vector<std::string> args = {"/usr/bin/openssl",
                                         "s_server",
                                         "-quiet",
                                         "-WWW",
                                         "-accept",
                                         std::to_string(port_),
                                         "-cert",
                                         dir_.Path("cert.pem"),
                                         "-key",
                                         dir_.Path("key.pem")};
        std::vector<char *> argv;
        for (auto &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        std::string folder = dir_.Path("");
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int spawned = posix_spawn(&server_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0);
        ASSERT_TRUE(testmedia::WaitUntil([&] { return Listening(); }, 10s));
    }
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
        if (server_ > 0) {
            kill(server_, SIGTERM);
            int status;
            waitpid(server_, &status, 0);
        }
    }
    bool Listening() {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        close(fd);
        return ok;
    }

    testmedia::TempDir dir_;
    int port_ = 0;
    pid_t server_ = -1;
    HSTREAM handle_ = 0;
};

TEST_F(Https, Mp3OverTls_Plays) {
    std::string url = "https://127.0.0.1:" + std::to_string(port_) + "/s.mp3";
    handle_ = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    EXPECT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelGetPosition(handle_, BASS_POS_BYTE) > 176400 / 2; }, 5s));
    EXPECT_EQ(BASS_ChannelGetLength(handle_, BASS_POS_BYTE), ~QWORD{0});
}

TEST_F(Https, PlainHttpToTlsPort_EndsWithinFiveSeconds) {
    std::string url = "http://127.0.0.1:" + std::to_string(port_) + "/s.mp3";
    auto start = std::chrono::steady_clock::now();
    handle_ = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u);
    BASS_ChannelPlay(handle_, FALSE);
    EXPECT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle_) == 0; }, 5s));
    EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_LT(testmedia::SecondsSince(start), 5.0);
}

}  // namespace
