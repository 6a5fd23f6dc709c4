// What the desktop bus service costs the player, on Qt's offscreen platform with a session
// bus of its own (the program runs itself again inside dbus-run-session when it has none):
// - at start-up: connecting, registering the objects, claiming the name and the first
//   announcement, once cold (the process's first connection) and then warm;
// - on the refresh tick: a tick with the service against one without, the loop turn's added
//   tests, and how often the service is asked what the player shows during 1000 ticks of a
//   playing file (nothing is on the tick's path unless a title changed);
// - off the tick: the look taken four times a second while something plays, to notice a
//   track's end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio_engine.h"
#include "control_numbers.h"
#include "desktop_bus.h"
#include "desktop_service.h"
#include "playback_controller.h"
#include "player_memory.h"
#include "player_state.h"
#include "refresh_tick.h"
#include "start_up.h"
#include "test_media.h"
#include "widgets.h"

namespace {

int g_describeCalls = 0;

BusPlayerView CountedDescribe() {
    ++g_describeCalls;
    return DescribePlayer();
}

std::int64_t Position() {
    return PlaybackPositionMicroseconds();
}

BusStart StartCounted() {
    return StartDesktopBus({CountedDescribe, Position});
}

void PublishTitle() {
    PublishPlayerView();
}

// Two minutes of silence: a stream to play for as long as a benchmark runs.
std::string WriteSilence() {
    const std::string path = "/tmp/volnar-bus-bench-" + std::to_string(getpid()) + ".wav";
    testmedia::WriteWav(path, 44100, 2, testmedia::SampleKind::kInt16,
                        std::vector<float>(44100 * 120 * 2, 0.0f));
    return path;
}

void BM_ServiceStartWarm(benchmark::State &state) {
    for (auto _ : state) {
        StopDesktopBus();
        StartCounted();
        PublishPlayerView();
    }
    state.SetLabel("connect (cached), register, claim the name, first announcement");
}
BENCHMARK(BM_ServiceStartWarm)->Unit(benchmark::kMillisecond);

void BM_TickWithService(benchmark::State &state) {
    StartCounted();
    SetStreamTitleListener(PublishTitle);
    for (auto _ : state)
        RefreshTick();
}
BENCHMARK(BM_TickWithService)->Unit(benchmark::kMicrosecond);

void BM_TickWithoutService(benchmark::State &state) {
    StopDesktopBus();
    SetStreamTitleListener(nullptr);
    for (auto _ : state)
        RefreshTick();
    StartCounted();
    SetStreamTitleListener(PublishTitle);
}
BENCHMARK(BM_TickWithoutService)->Unit(benchmark::kMicrosecond);

// What a loop turn that only carries a tick adds: the queue test, the stream test and the
// state file's due test.
void BM_TickTurnAdditions(benchmark::State &state) {
    std::uint64_t seen = g.streamSerial;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DesktopCommandsWaiting());
        benchmark::DoNotOptimize(g.streamSerial != seen);
        KeepStateFileCurrent();
    }
}
BENCHMARK(BM_TickTurnAdditions)->Unit(benchmark::kNanosecond);

void BM_PlayingCheckUnchanged(benchmark::State &state) {
    for (auto _ : state)
        PublishPlayerView();
    state.SetLabel("4 times a second while playing, off the tick");
}
BENCHMARK(BM_PlayingCheckUnchanged)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv) {
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
        std::vector<char *> args = {const_cast<char *>("dbus-run-session"),
                                    const_cast<char *>("--")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("dbus-run-session", args.data());
        std::perror("dbus-run-session");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    PrepareStartUp();

    using Clock = std::chrono::steady_clock;
    const auto before = Clock::now();
    const BusStart started = StartCounted();
    PublishPlayerView();
    const double coldMs = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
    std::printf("service at start-up, cold (first connection of the process): %.3f ms (%s)\n",
                coldMs, started == BusStart::kServing ? "serving" : "NOT SERVING");

    const std::string tone = WriteSilence();
    SetControlText(kFolderLabel, "/tmp/");
    AddListItem(kTrackList, -1, tone.substr(5));
    g.trackCount = 1;
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
    SetStreamTitleListener(PublishTitle);
    PublishPlayerView();
    g_describeCalls = 0;
    for (int i = 0; i < 1000; ++i)
        RefreshTick();
    std::printf("service asked what the player shows during 1000 ticks of a playing file: %d\n",
                g_describeCalls);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(tone.c_str());
    StopDesktopBus();
    ReleaseWidgetLayer();
}
