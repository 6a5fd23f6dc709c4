// The one repeating timer. Qt fires it only while the layer processes events, so the
// callback runs on the user-interface thread and never in the middle of a player command.
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "event_queue.h"
#include "layer_life.h"
#include "layer_tables.h"
#include "top_window.h"

namespace {

std::unique_ptr<QTimer> g_timer;
TimerCallback g_callback = nullptr;
int g_timerWindow = 0;
bool g_inCallback = false;

void FireTimer() {
    // A callback that waits for events itself must not be entered again from inside.
    if (g_inCallback) return;
    g_inCallback = true;
    if (g_callback) g_callback();
    FlushStorePaints();
    g_inCallback = false;
    QueueInputEvent(kTimerTick, g_timerWindow);
}

}  // namespace

void StartRepeatingTimer(NativeHandle window, int periodMs, TimerCallback callback) {
    const int number = WindowNumberOfHandle(window);
    if (number < 0) return;
    if (!g_timer) {
        g_timer = std::make_unique<QTimer>();
        g_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(g_timer.get(), &QTimer::timeout, g_timer.get(), FireTimer);
    }
    g_callback = callback;
    g_timerWindow = number;
    g_timer->start(std::max(periodMs, 1));
}

void StopRepeatingTimer() {
    g_timer.reset();
    g_callback = nullptr;
    g_inCallback = false;
}

void PauseMilliseconds(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}
