// The display's recurring work on Qt's offscreen platform: one refresh tick while a stream
// plays (both windows with every moving control), and the memory of the once-a-second
// clock redraw over 100,000 redraws.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "audio_engine.h"
#include "control_numbers.h"
#include "player_state.h"
#include "refresh_tick.h"
#include "skin_resources.h"
#include "test_media.h"
#include "time_display.h"
#include "widgets.h"

namespace {

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Two minutes of low tones in a WAV file, so that the bars have something to show for as
// long as a benchmark paced like the timer runs.
std::string WriteTones() {
    const std::string path = "/tmp/volnar-bench-" + std::to_string(getpid()) + ".wav";
    std::vector<float> samples = testmedia::Sine(86, 120, 44100, 2, 0.275);
    const std::vector<float> upper = testmedia::Sine(301, 120, 44100, 2, 0.275);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] += upper[i];
    testmedia::WriteWav(path, 44100, 2, testmedia::SampleKind::kInt16, samples);
    return path;
}

// The player's windows with every control the tick draws into, as start-up builds them.
void BuildPlayerWindows() {
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    ResetPlayerState();
    g.marqueeStep = 1.0f;
    g.marqueeX = 50.0f;
    g.marqueeText =
        "...VOLNAR...  ...Darizo ZU vuzuz...  ...MP3  Player...  ...Каналов-0...0 kHz...";
    g.spectrumLastBar = 41;
    g.barWidth = 5;
    g.barHeight = 12;
    g.barColour = RGB(196, 198, 204);
    g.volumePercent = 50;
    RegisterEmbeddedFonts();
    LoadSkinImages();
    CreateFontInSlot(kMarqueeFont, "MicroTech", 18, kFontHighQuality);
    CreateFontInSlot(kMiniMarqueeFont, "MicroTech", 8, kFontBold | kFontHighQuality);
    const int flags = kWindowBorderless | kWindowHidden | kWindowCentred;
    CreateTopWindow(kMainWindow, 0, 0, 600, 400, "Плеер", flags);
    CreateImageControl(kMarqueeStrip, 221, 126, 0, 0, NativeImageHandle(kMarqueeImage));
    CreateImageControl(kSeekBar, 225, 174, 0, 0, NativeImageHandle(kSeekImage));
    for (int i = 0; i <= 41; ++i)
        CreateImageControl(kFirstBar + i, 230 + 6 * i, 154, 0, 0, NativeImageHandle(kBarImage));
    SetWindowBackgroundImage(NativeWindowHandle(kMainWindow), NativeImageHandle(kMainSkinImage));
    SetWindowVisible(kMainWindow, 1);
    CreateTopWindow(kMiniWindow, 0, 0, 225, 52, "мини", flags);
    CreateImageControl(kMiniMarqueeStrip, 12, 14, 0, 0, NativeImageHandle(kMiniMarqueeImage));
    CreateImageControl(kMiniVolumeBar, 100, 37, 0, 0, NativeImageHandle(kMiniVolumeImage));
    SetWindowBackgroundImage(NativeWindowHandle(kMiniWindow), NativeImageHandle(kMiniSkinImage));
    while (PollNextEvent()) {
    }
}

void BM_RefreshTickWhilePlaying(benchmark::State &state) {
    BuildPlayerWindows();
    const std::string track = WriteTones();
    g.streamHandle = BASS_StreamCreateFile(FALSE, track.c_str(), 0, 0, 0);
    BASS_ChannelPlay(g.streamHandle, FALSE);
    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < 500)
        PollNextEvent();
    for (auto _ : state) {
        RefreshTick();
        state.PauseTiming();
        // The window repaints what the tick changed, as the event loop would let it.
        while (PollNextEvent()) {
        }
        state.ResumeTiming();
    }
    state.counters["playing"] = BASS_ChannelIsActive(g.streamHandle) == BASS_ACTIVE_PLAYING;
    BASS_StreamFree(g.streamHandle);
    std::remove(track.c_str());
}
BENCHMARK(BM_RefreshTickWhilePlaying)->Unit(benchmark::kMicrosecond);

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One tick as the player pays for it while a stream plays: the drawing, the assignments and
// the repaints they cause, in CPU time of the user-interface thread (the engine's threads
// run meanwhile and are not counted). Target: under 0.1 ms. The windows are those of the
// main mode: the main window shown, the mini window hidden.
void BM_TickCpuWhilePlaying(benchmark::State &state) {
    BuildPlayerWindows();
    const std::string track = WriteTones();
    g.streamHandle = BASS_StreamCreateFile(FALSE, track.c_str(), 0, 0, 0);
    BASS_ChannelPlay(g.streamHandle, FALSE);
    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < 500)
        PollNextEvent();
    for (auto _ : state) {
        const double start = ThreadCpuSeconds();
        RefreshTick();
        while (PollNextEvent()) {
        }
        state.SetIterationTime(ThreadCpuSeconds() - start);
        // Paced like the timer, so the bars see fresh sound on every tick.
        state.PauseTiming();
        usleep(5000);
        state.ResumeTiming();
    }
    state.counters["playing"] = BASS_ChannelIsActive(g.streamHandle) == BASS_ACTIVE_PLAYING;
    BASS_StreamFree(g.streamHandle);
    g.streamHandle = 0;
    std::remove(track.c_str());
}
BENCHMARK(BM_TickCpuWhilePlaying)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same with nothing playing: the scrolling line alone moves.
void BM_TickCpuIdle(benchmark::State &state) {
    BuildPlayerWindows();
    g.streamHandle = 0;
    while (PollNextEvent()) {
    }
    for (auto _ : state) {
        const double start = ThreadCpuSeconds();
        RefreshTick();
        while (PollNextEvent()) {
        }
        state.SetIterationTime(ThreadCpuSeconds() - start);
    }
}
BENCHMARK(BM_TickCpuIdle)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ClockRedrawMemory(benchmark::State &state) {
    BuildPlayerWindows();
    for (int i = 0; i < 1000; ++i)
        UpdateTimeDisplay();  // first allocations settle
    const long before = ResidentKilobytes();
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i) {
            UpdateTimeDisplay();
            if (i % 100 == 0) PollNextEvent();
        }
    }
    const long after = ResidentKilobytes();
    state.counters["rss_growth_kb"] = static_cast<double>(after - before);
    state.counters["rss_kb"] = static_cast<double>(after);
}
BENCHMARK(BM_ClockRedrawMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
