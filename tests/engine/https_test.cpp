// A station over https: a TLS server of the test's own (openssl s_server) on 127.0.0.1 serves
// an MP3 with a certificate from a certificate authority made for the test. The station plays
// only when that authority is trusted (through SSL_CERT_FILE) and the certificate names the
// host; an untrusted or self-signed certificate, or one for another host, does not play.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "audio_engine.h"
#include "fake_http_server.h"
#include "test_media.h"
#include "test_servers.h"

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
        ASSERT_TRUE(MakeCertificates());
        StartServer("server");
    }
    // A test authority; "server" signed by it for IP 127.0.0.1, "otherhost" signed by it for
    // another name, "selfsigned" for 127.0.0.1 signed by nobody.
    bool MakeCertificates() {
        const std::string d = dir_.Path("");
        const std::string script =
            "cd '" + d +
            "' && openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=VolnarTestCA -days 1 "
            "-addext basicConstraints=critical,CA:TRUE -keyout ca.key -out ca.pem && "
            "for n in server:IP:127.0.0.1 otherhost:DNS:station.invalid; do "
            "name=${n%%:*}; san=${n#*:}; "
            "openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout $name.key "
            "-out $name.csr && printf 'subjectAltName=%s\\n' $san > $name.ext && "
            "openssl x509 -req -in $name.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 "
            "-extfile $name.ext -out $name.pem || exit 1; done && "
            "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 1 "
            "-addext subjectAltName=IP:127.0.0.1 -keyout selfsigned.key -out selfsigned.pem";
        return std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
    }
    void StartServer(const std::string &name) { StartServerOn(name, &server_, &port_); }
    // openssl's s_server, or, for HLS (whose connections it does not keep up with), Python's
    // web server over TLS.
    void StartServerOn(const std::string &name, testservers::Process *server, int *port,
                       bool python = false) {
        server->Stop();
        *port = testmedia::ClosedPort();
        std::vector<std::string> args = {"/usr/bin/openssl",
                                         "s_server",
                                         "-quiet",
                                         "-WWW",
                                         "-accept",
                                         std::to_string(*port),
                                         "-cert",
                                         dir_.Path(name + ".pem"),
                                         "-key",
                                         dir_.Path(name + ".key")};
        if (python) {
            std::ofstream(dir_.Path("serve.py"))
                << "import functools, http.server, ssl, sys\n"
                   "port, cert, key = int(sys.argv[1]), sys.argv[2], sys.argv[3]\n"
                   "class Quiet(http.server.SimpleHTTPRequestHandler):\n"
                   "    def log_message(self, *a): pass\n"
                   "server = http.server.ThreadingHTTPServer(('127.0.0.1', port), Quiet)\n"
                   "context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
                   "context.load_cert_chain(cert, key)\n"
                   "server.socket = context.wrap_socket(server.socket, server_side=True)\n"
                   "server.serve_forever()\n";
            args = {"/usr/bin/python3", dir_.Path("serve.py"), std::to_string(*port),
                    dir_.Path(name + ".pem"), dir_.Path(name + ".key")};
        }
        *server = testservers::Process(args, {.folder = dir_.Path("")});
        ASSERT_TRUE(server->started());
        ASSERT_TRUE(testmedia::WaitUntil([&] { return Listening(*port); }, 10s));
    }
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
        server_.Stop();
        second_server_.Stop();
        unsetenv("SSL_CERT_FILE");
    }
    // Four seconds of the tone as HLS in hls/ (index.m3u8, index0.ts, ...).
    void MakeHls() {
        mkdir(dir_.Path("hls").c_str(), 0755);
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:"
            "duration=4 -ac 2 -c:a aac -b:a 96k -f hls -hls_time 1 -hls_list_size 0 "
            "-hls_playlist_type vod '" +
            dir_.Path("hls/index.m3u8") + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    bool Heard(HSTREAM handle) {
        return handle != 0 && BASS_ChannelPlay(handle, FALSE) &&
               testmedia::WaitUntil(
                   [&] { return BASS_ChannelGetPosition(handle, BASS_POS_BYTE) > 176400 / 2; }, 4s);
    }
    std::string Url() { return "https://127.0.0.1:" + std::to_string(port_) + "/s.mp3"; }
    // The stream ends within the opening bound, as a secure-connection failure.
    void ExpectRefused() {
        auto start = std::chrono::steady_clock::now();
        HSTREAM handle = BASS_StreamCreateURL(Url().c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(handle, 0u);
        BASS_ChannelPlay(handle, FALSE);
        EXPECT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; }, 5s));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_SSL);
        EXPECT_LT(testmedia::SecondsSince(start), 5.0);
        BASS_StreamFree(handle);
    }
    bool Listening(int port) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        close(fd);
        return ok;
    }

    testmedia::TempDir dir_;
    int port_ = 0, second_port_ = 0;
    testservers::Process server_, second_server_;
    HSTREAM handle_ = 0;
};

TEST_F(Https, CertificateOfTrustedAuthority_Plays) {
    setenv("SSL_CERT_FILE", dir_.Path("ca.pem").c_str(), 1);
    handle_ = BASS_StreamCreateURL(Url().c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    EXPECT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelGetPosition(handle_, BASS_POS_BYTE) > 176400 / 2; }, 5s));
    EXPECT_EQ(BASS_ChannelGetLength(handle_, BASS_POS_BYTE), ~QWORD{0});
}

TEST_F(Https, AuthorityNotTrusted_DoesNotPlay) {
    // The system's store knows nothing of the test's authority.
    ExpectRefused();
}

TEST_F(Https, SelfSignedOrForAnotherHost_DoesNotPlay) {
    setenv("SSL_CERT_FILE", dir_.Path("ca.pem").c_str(), 1);
    StartServer("otherhost");
    ExpectRefused();
    StartServer("selfsigned");
    ExpectRefused();
}

TEST_F(Https, HlsOverTlsFromTrustedServer_Plays) {
    MakeHls();
    setenv("SSL_CERT_FILE", dir_.Path("ca.pem").c_str(), 1);
    StartServerOn("server", &server_, &port_, true);
    const std::string url = "https://127.0.0.1:" + std::to_string(port_) + "/hls/index.m3u8";
    handle_ = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    EXPECT_TRUE(Heard(handle_));
}

TEST_F(Https, HlsSegmentsOnUntrustedServer_DoNotPlay) {
    // The playlist comes from the trusted server; its segments from one with a self-signed
    // certificate, which the segments' own connections must check as well.
    MakeHls();
    setenv("SSL_CERT_FILE", dir_.Path("ca.pem").c_str(), 1);
    StartServerOn("server", &server_, &port_, true);
    StartServerOn("selfsigned", &second_server_, &second_port_, true);
    std::ifstream in(dir_.Path("hls/index.m3u8"));
    std::ofstream out(dir_.Path("mixed.m3u8"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#')
            line = "https://127.0.0.1:" + std::to_string(second_port_) + "/hls/" + line;
        out << line << "\n";
    }
    out.close();
    const std::string url = "https://127.0.0.1:" + std::to_string(port_) + "/mixed.m3u8";
    handle_ = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    EXPECT_FALSE(Heard(handle_));
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
