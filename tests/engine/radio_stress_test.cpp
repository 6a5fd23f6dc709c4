// A healthy station opens every time: many starts in a row of one real Icecast station
// (create, play, first audio within 2 s, free). Each start joins the stream at another point,
// so a rare bad point (an unlucky first byte, a metadata block at a read boundary) shows up
// here. RadioStarts (100 starts of the usual source) runs with every test run; RadioStress
// (300 starts each with the usual source, a small metadata interval, the source at 32 and at
// 320 kbit/s, and as AAC) carries the "stress" label and runs on demand: at 32 kbit/s
// Icecast itself takes over a second to send a new listener its first audio, so that case
// alone runs for about seven minutes. A program of its own, each case a CTest test.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "audio_engine.h"
#include "engine_probe.h"
#include "test_media.h"
#include "test_servers.h"

using namespace std::chrono_literals;

namespace {

constexpr int kStressStarts = 300;
constexpr int kEveryRunStarts = 100;

struct Source {
    const char *name;
    const char *bitrate;
    int metaint;  // 0: Icecast's own
    const char *codec = "mp3";
};

class StationStarts {
  protected:
    void StartServer(const Source &source) {
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        station_.emplace(dir_.Path("icecast.json"),
                         testservers::StationOptions{.title = "Stress",
                                                     .codec = source.codec,
                                                     .bitrate = source.bitrate,
                                                     .metaint = source.metaint});
        ASSERT_TRUE(station_->ready());
        url_ = station_->url();
    }
    void StopServer() { station_.reset(); }

    // Starts the station `starts` times; each must be heard within 2 s.
    void ExpectEveryStartHeard(int starts) {
        std::vector<int> failed;
        double slowest = 0;
        for (int i = 0; i < starts; ++i) {
            auto start = std::chrono::steady_clock::now();
            HSTREAM handle = BASS_StreamCreateURL(url_.c_str(), 0, 0, nullptr, nullptr);
            ASSERT_NE(handle, 0u);
            BASS_ChannelPlay(handle, FALSE);
            bool heard =
                testmedia::WaitUntil([&] { return engine::FirstFrameNs(handle) != 0; }, 2s);
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
        EXPECT_TRUE(failed.empty()) << failed.size() << " of " << starts << " starts failed";
        std::printf("%d of %d starts heard; slowest %.0f ms\n", starts - int(failed.size()), starts,
                    slowest * 1000);
    }

    testmedia::TempDir dir_;
    std::optional<testservers::IcecastStation> station_;
    std::string url_;
};

class RadioStarts : public ::testing::Test, protected StationStarts {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartServer(Source{"Mp3At128", "128k", 0})); }
    void TearDown() override { StopServer(); }
};

TEST_F(RadioStarts, HundredStarts_EveryOneHeard) {
    ExpectEveryStartHeard(kEveryRunStarts);
}

class RadioStress : public ::testing::TestWithParam<Source>, protected StationStarts {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartServer(GetParam())); }
    void TearDown() override { StopServer(); }
};

TEST_P(RadioStress, EveryStartPlays) {
    ExpectEveryStartHeard(kStressStarts);
}

INSTANTIATE_TEST_SUITE_P(Sources, RadioStress,
                         ::testing::Values(Source{"Mp3At128", "128k", 0},
                                           Source{"SmallMetadataInterval", "128k", 512},
                                           Source{"Mp3At32", "32k", 0},
                                           Source{"Mp3At320", "320k", 0},
                                           Source{"AacAt128", "128k", 0, "aac"}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
