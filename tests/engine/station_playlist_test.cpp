// Station addresses that are playlists: the reading of .pls and .m3u texts, and, against a
// server of the test's own on 127.0.0.1, playlists by name, by content type and by content,
// nested ones, a dead first entry, a huge "playlist" and playlists that point at themselves.
#include "station_playlist.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "audio_engine.h"
#include "fake_http_server.h"
#include "test_media.h"

using namespace std::chrono_literals;
using testmedia::FakeHttpServer;

namespace {

using Entries = std::vector<std::string>;

TEST(PlaylistEntries, PlsAndM3uTexts_AddressesInOrder) {
    const std::string base = "http://host:8000/lists/radio.pls?x=1";
    EXPECT_EQ(engine::PlaylistEntries("[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a/1\r\n"
                                      "Title1=One\r\nfile2 = https://b/2 \r\nVersion=2\r\n",
                                      "", base),
              (Entries{"http://a/1", "https://b/2"}));
    EXPECT_EQ(engine::PlaylistEntries("\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1,Radio\nhttp://a/1\n\n"
                                      "#EXTINF:-1,Two\nhttp://b/2\n",
                                      "", base),
              (Entries{"http://a/1", "http://b/2"}));
    // Plain .m3u: by its content type, or because every line is an address.
    EXPECT_EQ(engine::PlaylistEntries("stream.mp3\n", "audio/x-mpegurl; charset=utf-8", base),
              Entries{"http://host:8000/lists/stream.mp3"});
    EXPECT_EQ(engine::PlaylistEntries("http://a/1\r\nhttp://b/2", "text/plain", base),
              (Entries{"http://a/1", "http://b/2"}));
    // Relative entries resolve against the playlist's own address.
    EXPECT_EQ(engine::PlaylistEntries("[playlist]\nFile1=/root.mp3\nFile2=//c/3\n", "", base),
              (Entries{"http://host:8000/root.mp3", "http://c/3"}));
}

TEST(PlaylistEntries, NotPlaylistsOrHostileEntries_NothingToTry) {
    const std::string base = "http://host/list.pls";
    EXPECT_TRUE(engine::PlaylistEntries("", "audio/x-scpls", base).empty());
    EXPECT_TRUE(engine::PlaylistEntries(std::string("ID3\x03\0\0\0garbage", 13), "", base).empty());
    EXPECT_TRUE(engine::PlaylistEntries("<html><body>Not found</body></html>", "", base).empty());
    // HLS is played by FFmpeg, never taken apart here.
    EXPECT_TRUE(
        engine::PlaylistEntries("#EXTM3U\n#EXT-X-TARGETDURATION:2\nseg0.ts\n", "", base).empty());
    // Local files and other schemes are never station addresses.
    EXPECT_EQ(engine::PlaylistEntries("[playlist]\nFile1=file:///etc/passwd\nFile2=rtmp://x/y\n"
                                      "File3=c:\\\\radio.mp3\nFile4=http://ok/\n",
                                      "", base),
              Entries{"http://ok/"});
    // Only the first 64 KB count: an entry behind them is not seen.
    std::string huge =
        "[playlist]\n" + std::string(engine::kMaxPlaylistBytes, ';') + "\nFile1=http://late/\n";
    EXPECT_TRUE(engine::PlaylistEntries(huge, "", base).empty());
}

// A server of stations and playlists: "/s.mp3" is a station; every other path answers with
// the playlist the test put there.
class StationPlaylists : public ::testing::Test {
  protected:
    struct Answer {
        std::string type, body;
    };

    static void SetUpTestSuite() {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        testmedia::TempDir dir;
        testmedia::WriteWav(dir.Path("s.wav"), 44100, 2, testmedia::SampleKind::kInt16,
                            testmedia::Sine(440, 10.0, 44100, 2, 0.5));
        testmedia::Ffmpeg(dir.Path("s.wav"), "-c:a libmp3lame -b:a 128k", dir.Path("s.mp3"));
        auto bytes = testmedia::ReadBytes(dir.Path("s.mp3"));
        mp3_ = new std::string(bytes.begin(), bytes.end());
    }
    static void TearDownTestSuite() {
        delete mp3_;
        mp3_ = nullptr;
    }

    StationPlaylists()
        : server_([this](int fd, const std::string &request) { Serve(fd, request); }) {}
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
    }

    void Serve(int fd, const std::string &request) {
        const std::size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        ++requests_[path];
        if (path == "/s.mp3") {
            FakeHttpServer::SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
            FakeHttpServer::SendAll(fd, *mp3_);
            server_.Sleep(20000);
            return;
        }
        auto found = answers_.find(path);
        if (found == answers_.end()) {
            FakeHttpServer::SendAll(fd, "HTTP/1.0 404 Not Found\r\n\r\n");
            return;
        }
        std::string head = "HTTP/1.0 200 OK\r\n";
        if (!found->second.type.empty()) head += "Content-Type: " + found->second.type + "\r\n";
        if (!FakeHttpServer::SendAll(fd, head + "\r\n")) return;
        const std::string &body = found->second.body;
        for (std::size_t sent = 0; sent < body.size(); sent += 65536) {
            if (!FakeHttpServer::SendAll(fd, body.substr(sent, 65536))) return;
            body_bytes_sent_ += std::min<std::size_t>(65536, body.size() - sent);
        }
    }

    std::string Url(const std::string &path) { return server_.Url(path); }
    std::string Dead() { return "http://127.0.0.1:" + std::to_string(testmedia::ClosedPort()); }

    // Creates the stream and expects it to play the station's tone.
    void ExpectPlays(const std::string &path) {
        const auto start = std::chrono::steady_clock::now();
        handle_ = BASS_StreamCreateURL(Url(path).c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(handle_, 0u) << path;
        EXPECT_LT(testmedia::SecondsSince(start), 5.0);
        ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
        EXPECT_TRUE(testmedia::WaitUntil(
            [&] { return BASS_ChannelGetPosition(handle_, BASS_POS_BYTE) > 176400 / 4; }, 5s));
    }
    // Creates the stream and expects it to end without playing within the time given. The
    // opening runs in the background, so the handle exists at once and reads as stalled.
    void ExpectFails(const std::string &path, double within_seconds) {
        if (handle_) BASS_StreamFree(handle_);
        const auto start = std::chrono::steady_clock::now();
        handle_ = BASS_StreamCreateURL(Url(path).c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(handle_, 0u) << path;
        BASS_ChannelPlay(handle_, FALSE);
        EXPECT_TRUE(testmedia::WaitUntil(
            [&] { return BASS_ChannelIsActive(handle_) == BASS_ACTIVE_STOPPED; }, 6s))
            << path;
        EXPECT_LT(testmedia::SecondsSince(start), within_seconds) << path;
        EXPECT_EQ(BASS_ChannelGetPosition(handle_, BASS_POS_BYTE), 0u) << path;
    }

    static std::string *mp3_;
    std::map<std::string, Answer> answers_;  // written before the first request
    std::map<std::string, std::atomic<int>> requests_;
    std::atomic<std::size_t> body_bytes_sent_{0};
    FakeHttpServer server_;
    HSTREAM handle_ = 0;
};
std::string *StationPlaylists::mp3_ = nullptr;

TEST_F(StationPlaylists, PlsWithDeadFirstEntry_SecondEntryPlays) {
    answers_["/radio.pls"] = {"text/plain", "[playlist]\nNumberOfEntries=2\nFile1=" + Dead() +
                                                "/gone\nFile2=" + Url("/s.mp3") + "\n"};
    ExpectPlays("/radio.pls");
}

TEST_F(StationPlaylists, M3uByNameByContentTypeAndByContent_Play) {
    answers_["/a.m3u"] = {"", Url("/s.mp3") + "\n"};
    answers_["/listen"] = {"audio/x-mpegurl", "#EXTM3U\n#EXTINF:-1,Radio\n/s.mp3\n"};
    answers_["/tune-in"] = {"application/octet-stream", "[playlist]\nFile1=/s.mp3\n"};
    ExpectPlays("/a.m3u");
    BASS_StreamFree(handle_);
    ExpectPlays("/listen");
    BASS_StreamFree(handle_);
    ExpectPlays("/tune-in");
}

TEST_F(StationPlaylists, NestedThreeLevels_Plays_FourLevels_DoesNot) {
    answers_["/n1"] = {"audio/x-scpls", "[playlist]\nFile1=/n2.pls\n"};
    answers_["/n2.pls"] = {"", "[playlist]\nFile1=/n3.m3u\n"};
    answers_["/n3.m3u"] = {"", "#EXTM3U\n/s.mp3\n"};
    ExpectPlays("/n1");
    BASS_StreamFree(handle_);
    handle_ = 0;
    answers_["/d1.pls"] = {"", "[playlist]\nFile1=/n1\n"};
    ExpectFails("/d1.pls", 5.0);
    EXPECT_EQ(requests_["/s.mp3"].load(), 1);
}

TEST_F(StationPlaylists, SelfPointingAndMutualPlaylists_FailAtOnce) {
    answers_["/self.pls"] = {"", "[playlist]\nFile1=" + Url("/self.pls") + "\nFile2=/self.pls\n"};
    answers_["/ping.m3u"] = {"", "/pong.m3u\n"};
    answers_["/pong.m3u"] = {"", "/ping.m3u\n"};
    ExpectFails("/self.pls", 2.0);
    ExpectFails("/ping.m3u", 2.0);
    EXPECT_EQ(requests_["/self.pls"].load(), 1);
    EXPECT_LE(requests_["/ping.m3u"].load(), 1);
}

TEST_F(StationPlaylists, WidePlaylistsOfDeadEntries_BoundedTries) {
    std::string wide = "[playlist]\n", dead = "[playlist]\n";
    for (int i = 1; i <= 40; ++i) {
        wide += "File" + std::to_string(i) + "=/w" + std::to_string(i) + ".pls\n";
        dead += "File" + std::to_string(i) + "=" + Dead() + "/" + std::to_string(i) + "\n";
        answers_["/w" + std::to_string(i) + ".pls"] = {"", dead};
    }
    answers_["/wide.pls"] = {"", wide};
    ExpectFails("/wide.pls", 5.0);
    int fetched = 0;
    for (auto &[path, count] : requests_)
        fetched += count.load();
    EXPECT_LE(fetched, 64);
}

TEST_F(StationPlaylists, TenMegabytePlaylist_OnlyItsStartRead) {
    std::string body = "[playlist]\nFile1=/s.mp3\n";
    while (body.size() < 10u * 1024 * 1024)
        body += "; padding that no player needs to read to the end ....\n";
    answers_["/big.pls"] = {"audio/x-scpls", body};
    ExpectPlays("/big.pls");
    EXPECT_LT(body_bytes_sent_.load(), body.size());
    BASS_StreamFree(handle_);
    handle_ = 0;
    answers_["/junk"] = {"text/plain", std::string(10u * 1024 * 1024, 'x')};
    ExpectFails("/junk", 5.0);
}

}  // namespace
