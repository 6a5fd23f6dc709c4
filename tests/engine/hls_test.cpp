// HLS stations: segments and playlists written by ffmpeg's HLS muxer and served over HTTP on
// 127.0.0.1 (Python's http.server) play through FFmpeg's HLS support: an ended playlist
// plays to its end, a live one keeps playing as segments come and go, and a master playlist
// leads to its media playlist.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "audio_engine.h"
#include "fake_http_server.h"
#include "test_media.h"
#include "test_servers.h"

using namespace std::chrono_literals;

namespace {

std::string ReadText(const std::string &path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

class Hls : public ::testing::Test {
  protected:
    void SetUp() override {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        port_ = testmedia::ClosedPort();
        web_ = testservers::Process({"/usr/bin/python3", "-m", "http.server", std::to_string(port_),
                                     "--bind", "127.0.0.1", "--directory", dir_.Path("")});
        ASSERT_TRUE(web_.started());
        std::ofstream(dir_.Path("master.m3u8"))
            << "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=96000,CODECS=\"mp4a.40.2\"\nvod/index.m3u8\n";
    }
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
        encoder_.Stop();
        web_.Stop();
    }
    // ffmpeg's HLS muxer writing a 440 Hz tone in AAC segments of one second.
    std::vector<std::string> EncoderArgs(const std::string &name, bool live,
                                         bool encrypted = false) {
        mkdir(dir_.Path(name).c_str(), 0755);
        std::vector<std::string> args = {"/usr/bin/ffmpeg", "-nostdin", "-v", "error", "-y"};
        if (live) args.push_back("-re");
        args.insert(
            args.end(),
            {"-f", "lavfi", "-i",
             std::string("sine=frequency=440:sample_rate=44100") + (live ? "" : ":duration=4"),
             "-ac", "2", "-c:a", "aac", "-b:a", "96k", "-f", "hls", "-hls_time", "1"});
        if (live)
            args.insert(args.end(), {"-hls_list_size", "4", "-hls_flags", "delete_segments"});
        else
            args.insert(args.end(), {"-hls_list_size", "0", "-hls_playlist_type", "vod"});
        if (encrypted) {
            // AES-128 segments, their key served next to them.
            std::ofstream(dir_.Path(name + "/key.bin"), std::ios::binary) << "0123456789abcdef";
            std::ofstream(dir_.Path(name + "/key.info")) << Url(name + "/key.bin") << "\n"
                                                         << dir_.Path(name + "/key.bin") << "\n";
            args.insert(args.end(), {"-hls_key_info_file", dir_.Path(name + "/key.info")});
        }
        args.push_back(dir_.Path(name + "/index.m3u8"));
        return args;
    }
    std::string Url(const std::string &path) {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
    }
    void Play(const std::string &path) {
        ASSERT_TRUE(testmedia::WaitUntil(
            [&] {
                handle_ = BASS_StreamCreateURL(Url(path).c_str(), 0, 0, nullptr, nullptr);
                return handle_ != 0;
            },
            10s))
            << path;
        ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    }
    bool HeardTone() {
        float fft[1026] = {};
        if (BASS_ChannelGetData(handle_, fft, BASS_DATA_FFT2048) == 0xFFFFFFFFu) return false;
        return std::max_element(fft, fft + 1024) - fft == 20 &&
               *std::max_element(fft, fft + 1024) > 0.05f;
    }

    testmedia::TempDir dir_;
    int port_ = 0;
    testservers::Process web_, encoder_;
    HSTREAM handle_ = 0;
};

TEST_F(Hls, EndedPlaylistAndItsMaster_PlayToTheEnd) {
    ASSERT_EQ(testservers::RunToEnd(EncoderArgs("vod", false), {}), 0);
    ASSERT_NE(ReadText(dir_.Path("vod/index.m3u8")).find("#EXT-X-ENDLIST"), std::string::npos);
    for (const std::string path : {"vod/index.m3u8", "master.m3u8"}) {
        Play(path);
        EXPECT_TRUE(testmedia::WaitUntil([&] { return HeardTone(); }, 5s)) << path;
        // Four seconds of sound, then the stream ends.
        EXPECT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle_) == 0; }, 15s))
            << path;
        const double heard =
            BASS_ChannelBytes2Seconds(handle_, BASS_ChannelGetPosition(handle_, BASS_POS_BYTE));
        EXPECT_GT(heard, 3.0) << path;
        BASS_StreamFree(handle_);
        handle_ = 0;
    }
}

TEST_F(Hls, EncryptedSegments_Play) {
    ASSERT_EQ(testservers::RunToEnd(EncoderArgs("enc", false, true), {}), 0);
    ASSERT_NE(ReadText(dir_.Path("enc/index.m3u8")).find("METHOD=AES-128"), std::string::npos);
    Play("enc/index.m3u8");
    EXPECT_TRUE(testmedia::WaitUntil([&] { return HeardTone(); }, 5s));
}

TEST_F(Hls, SegmentsOrKeysOnLocalFiles_NeverOpened) {
    // The crypto protocol HLS needs must not become a way to local files.
    std::ofstream(dir_.Path("evil.m3u8"))
        << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-KEY:METHOD=AES-128,URI=\"file:///etc/"
           "hostname\"\n#EXTINF:1.0,\ncrypto+file://"
        << dir_.Path("vod/index0.ts") << "\n#EXTINF:1.0,\nfile://" << dir_.Path("vod/index1.ts")
        << "\n#EXT-X-ENDLIST\n";
    ASSERT_EQ(testservers::RunToEnd(EncoderArgs("vod", false), {}), 0);
    ASSERT_TRUE(
        testmedia::WaitUntil([&] { return !ReadText(dir_.Path("vod/index.m3u8")).empty(); }, 5s));
    // The opening runs in the background: the stream ends without a sample played.
    handle_ = BASS_StreamCreateURL(Url("evil.m3u8").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u);
    BASS_ChannelPlay(handle_, FALSE);
    EXPECT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle_) == BASS_ACTIVE_STOPPED; }, 6s));
    EXPECT_EQ(BASS_ChannelGetPosition(handle_, BASS_POS_BYTE), 0u);
}

TEST_F(Hls, LivePlaylist_KeepsPlayingAsSegmentsComeAndGo) {
    encoder_ = testservers::Process(EncoderArgs("live", true));
    ASSERT_TRUE(encoder_.started());
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] {
            return ReadText(dir_.Path("live/index.m3u8")).find("index2.ts") != std::string::npos;
        },
        15s));
    Play("live/index.m3u8");
    EXPECT_TRUE(testmedia::WaitUntil([&] { return HeardTone(); }, 5s));
    // Longer than the four segments listed at the start: new ones were fetched.
    std::this_thread::sleep_for(6s);
    EXPECT_NE(BASS_ChannelIsActive(handle_), 0u);
    EXPECT_GT(BASS_ChannelBytes2Seconds(handle_, BASS_ChannelGetPosition(handle_, BASS_POS_BYTE)),
              5.0);
    EXPECT_TRUE(HeardTone());
}

}  // namespace
