// What the refresh timer costs the window and control half of the layer: handing images to
// image controls (unchanged and changed), the repaint that follows, and an empty poll.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include "layer_life.h"
#include "ui_internal.h"
#include "widgets.h"

namespace {

constexpr int kBarSlot = 19;
constexpr int kStripSlot = 3;

void SetUpMainWindow() {
    CreateTopWindow(0, 0, 0, 600, 400, "Плеер", kWindowBorderless | kWindowHidden);
    QImage background(600, 400, QImage::Format_RGB32);
    background.fill(0xFF303840);
    SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(2, background));
    CreateBlankImage(kBarSlot, 5, 12);
    CreateBlankImage(kStripSlot, 267, 25);
    CreateImageControl(3, 221, 126, 0, 0, NativeImageHandle(kStripSlot));
    for (int bar = 0; bar < 42; ++bar)
        CreateImageControl(303 + bar, 230 + 6 * bar, 154, 0, 0, NativeImageHandle(kBarSlot));
    SetWindowVisible(0, 1);
    QCoreApplication::processEvents();
}

void TearDownMainWindow() {
    CloseTopWindow(0);
    QCoreApplication::processEvents();
}

// 43 assignments of images whose pixels did not change: the compare-only path.
void BM_AssignUnchangedImages(benchmark::State &state) {
    SetUpMainWindow();
    for (auto _ : state) {
        SetControlValue(3, static_cast<std::intptr_t>(NativeImageHandle(kStripSlot)));
        for (int bar = 0; bar < 42; ++bar)
            SetControlValue(303 + bar, static_cast<std::intptr_t>(NativeImageHandle(kBarSlot)));
    }
    TearDownMainWindow();
}
BENCHMARK(BM_AssignUnchangedImages)->Unit(benchmark::kMicrosecond);

// One spectrum round: the shared bar image redrawn and assigned 42 times, then the repaint
// of the bars' rectangles that the next event processing does.
void BM_AssignChangedBarsAndRepaint(benchmark::State &state) {
    SetUpMainWindow();
    QImage &bar = ImageInSlot(kBarSlot)->image;
    int tick = 0;
    for (auto _ : state) {
        for (int i = 0; i < 42; ++i) {
            const int height = (i * 7 + tick) % 13;
            bar.fill(0xFF485665);
            for (int y = 12 - height; y < 12; ++y)
                for (int x = 0; x < 5; ++x)
                    bar.setPixel(x, y, 0xFFC4C6CC);
            SetControlValue(303 + i, static_cast<std::intptr_t>(NativeImageHandle(kBarSlot)));
        }
        QCoreApplication::processEvents();
        ++tick;
    }
    TearDownMainWindow();
}
BENCHMARK(BM_AssignChangedBarsAndRepaint)->Unit(benchmark::kMicrosecond);

// A refresh tick without the drawing library: new pixels for the strip and all 42 bars.
int g_tick = 0;
void RefreshTick() {
    ImageInSlot(kStripSlot)->image.fill(0xFF485665 + (g_tick & 15));
    SetControlValue(3, static_cast<std::intptr_t>(NativeImageHandle(kStripSlot)));
    QImage &bar = ImageInSlot(kBarSlot)->image;
    for (int i = 0; i < 42; ++i) {
        const int height = (i * 7 + g_tick) % 13;
        bar.fill(0xFF485665);
        for (int y = 12 - height; y < 12; ++y)
            for (int x = 0; x < 5; ++x)
                bar.setPixel(x, y, 0xFFC4C6CC);
        SetControlValue(303 + i, static_cast<std::intptr_t>(NativeImageHandle(kBarSlot)));
    }
    ++g_tick;
}

// One second of the event loop with the 35 ms timer driving the refresh: the process's CPU
// time against the wall time is the share of a core the window half of the layer needs.
void BM_EventLoopSecondWithRefresh(benchmark::State &state) {
    SetUpMainWindow();
    StartRepeatingTimer(NativeWindowHandle(0), 35, RefreshTick);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1000)
            WaitNextEvent();
    }
    StopRepeatingTimer();
    TearDownMainWindow();
}
BENCHMARK(BM_EventLoopSecondWithRefresh)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The poll the panel slide makes ten times per step, with nothing pending.
void BM_PollNothingPending(benchmark::State &state) {
    SetUpMainWindow();
    while (PollNextEvent() != kNoEvent) {
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(PollNextEvent());
    TearDownMainWindow();
}
BENCHMARK(BM_PollNothingPending)->Unit(benchmark::kMicrosecond);

}  // namespace
