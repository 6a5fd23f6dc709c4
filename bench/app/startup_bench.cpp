// Start-up of the player inside one process, to the main window shown, on Qt's offscreen
// platform: fonts, skin images, both windows with all their controls, the station list, the
// audio engine and the timer.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QWindow>
#include <cstdlib>

#include "start_up.h"
#include "widgets.h"

namespace {

bool MainWindowExposed() {
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->isVisible() && w->isExposed() && w->width() == 600) return true;
    return false;
}

void BM_StartUpToMainWindowShown(benchmark::State &state) {
    for (auto _ : state) {
        PrepareStartUp();
        while (!MainWindowExposed())
            PollNextEvent();
        state.PauseTiming();
        ReleaseWidgetLayer();
        state.ResumeTiming();
    }
    state.SetLabel("ms per start-up");
}
BENCHMARK(BM_StartUpToMainWindowShown)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
