// Stations in every format a listener meets, from a real Icecast server on 127.0.0.1
// (tests/support/icecast_server.py): AAC (ADTS), Ogg Vorbis whose title changes with each
// logical stream, Ogg Opus and Ogg FLAC, their titles in the ICY form the player reads; and a
// Shoutcast v1 server ("ICY 200 OK") of the test's own.
#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <optional>
#include <thread>

#include "audio_engine.h"
#include "fake_http_server.h"
#include "test_media.h"
#include "test_servers.h"

using namespace std::chrono_literals;
using testmedia::FakeHttpServer;

namespace {

std::string Meta(HSTREAM handle) {
    const char *text = BASS_ChannelGetTags(handle, BASS_TAG_META);
    return text ? text : "";
}

// Plays and hears the 440 Hz tone: the position moves and the spectrum peaks in bin 20.
void ExpectTone(HSTREAM handle) {
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle) == BASS_ACTIVE_PLAYING; }, 5s));
    const QWORD before = BASS_ChannelGetPosition(handle, BASS_POS_BYTE);
    std::this_thread::sleep_for(600ms);
    EXPECT_GT(BASS_ChannelGetPosition(handle, BASS_POS_BYTE), before + 176400 / 4);
    float fft[1026] = {};
    ASSERT_NE(BASS_ChannelGetData(handle, fft, BASS_DATA_FFT2048), 0xFFFFFFFFu);
    EXPECT_EQ(std::max_element(fft, fft + 1024) - fft, 20);
    EXPECT_GT(*std::max_element(fft, fft + 1024), 0.05f);
}

class IcecastFormats : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        station_.emplace(dir_.Path("icecast.json"),
                         testservers::StationOptions{.codec = GetParam()});
        ASSERT_TRUE(station_->ready());
        url_ = station_->url();
    }
    void TearDown() override {
        if (handle_) BASS_StreamFree(handle_);
        station_.reset();
    }

    testmedia::TempDir dir_;
    std::optional<testservers::IcecastStation> station_;
    std::string url_;
    HSTREAM handle_ = 0;
};

TEST_P(IcecastFormats, Station_PlaysTheTone) {
    handle_ = BASS_StreamCreateURL(url_.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u) << GetParam();
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    ExpectTone(handle_);
    if (GetParam() != "aac") {
        // The Ogg stations' comment title, in the form an ICY title takes.
        EXPECT_TRUE(
            testmedia::WaitUntil([&] { return Meta(handle_) == "StreamTitle='First Song';"; }, 5s))
            << Meta(handle_);
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, IcecastFormats,
                         ::testing::Values("aac", "vorbis", "opus", "flac"));

class OggTitles : public IcecastFormats {};

TEST_P(OggTitles, NewLogicalStream_NewTitleAndSoundGoesOn) {
    handle_ = BASS_StreamCreateURL(url_.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle_, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle_, FALSE));
    ASSERT_TRUE(
        testmedia::WaitUntil([&] { return Meta(handle_) == "StreamTitle='First Song';"; }, 5s))
        << Meta(handle_);
    ASSERT_TRUE(station_->SetTitle("Вторая песня"));
    EXPECT_TRUE(
        testmedia::WaitUntil([&] { return Meta(handle_) == "StreamTitle='Вторая песня';"; }, 10s))
        << Meta(handle_);
    // Past the joins of several logical streams, the tone is still heard.
    ExpectTone(handle_);
}

INSTANTIATE_TEST_SUITE_P(Chained, OggTitles, ::testing::Values("vorbis"));

// A Shoutcast v1 server: the status line "ICY 200 OK", headers without a version, metadata
// blocks every 8192 bytes.
TEST(ShoutcastV1, IcyStatusLine_PlaysWithTitle) {
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    testmedia::TempDir dir;
    ASSERT_TRUE(testmedia::WriteWav(dir.Path("s.wav"), 44100, 2, testmedia::SampleKind::kInt16,
                                    testmedia::Sine(440, 20.0, 44100, 2, 0.5)));
    ASSERT_TRUE(testmedia::Ffmpeg(dir.Path("s.wav"), "-c:a libmp3lame -b:a 128k -write_xing 0",
                                  dir.Path("s.mp3")));
    const auto bytes = testmedia::ReadBytes(dir.Path("s.mp3"));
    const std::string mp3(bytes.begin(), bytes.end());
    FakeHttpServer server([&](int fd, const std::string &request) {
        const bool icy = request.find("Icy-MetaData: 1") != std::string::npos;
        std::string head =
            "ICY 200 OK\r\nicy-notice1:<BR>SHOUTcast\r\nicy-name:Shout\r\n"
            "content-type:audio/mpeg\r\nicy-br:128\r\n";
        if (icy) head += "icy-metaint:8192\r\n";
        if (!FakeHttpServer::SendAll(fd, head + "\r\n")) return;
        std::string text = "StreamTitle='Старое радио';StreamUrl='';";
        std::string block(1, static_cast<char>((text.size() + 15) / 16));
        block += text;
        block.resize(1 + (text.size() + 15) / 16 * 16, '\0');
        for (std::size_t sent = 0; sent + 8192 <= mp3.size() && !server.Stopping(); sent += 8192) {
            std::string out = mp3.substr(sent, 8192);
            if (icy) out += block;
            if (!FakeHttpServer::SendAll(fd, out)) return;
            if (sent > 64 * 1024) server.Sleep(400);  // a burst, then about real time
        }
    });
    HSTREAM handle = BASS_StreamCreateURL(server.Url("/;").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ExpectTone(handle);
    EXPECT_TRUE(testmedia::WaitUntil(
        [&] { return Meta(handle).rfind("StreamTitle='Старое радио';", 0) == 0; }, 5s))
        << Meta(handle);
    // The name the station gives itself in its headers, for a station the list leaves
    // untitled.
    const char *icy = BASS_ChannelGetTags(handle, BASS_TAG_ICY);
    ASSERT_NE(icy, nullptr);
    EXPECT_STREQ(icy, "icy-name:Shout");
    EXPECT_EQ(icy[std::strlen(icy) + 1], '\0');  // the list's end
    BASS_StreamFree(handle);
}

}  // namespace
