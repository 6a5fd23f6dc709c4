// The main of the benchmarks that need the widget layer: Qt's offscreen platform and SDL's
// dummy audio driver unless the caller chose others.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QtGlobal>

#include "widgets.h"

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", QByteArray("dummy"));
    InitWidgetLayer();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReleaseWidgetLayer();
    return 0;
}
