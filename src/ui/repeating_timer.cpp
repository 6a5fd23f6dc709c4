// The one repeating timer. Qt fires it only while the layer processes events, so the
// callback runs on the user-interface thread and never in the middle of a player command.
//
// It fires 28 times a second for as long as the player runs, so it is an object's own Qt
// timer rather than a QTimer (whose signal goes through the meta-object system each time),
// and the layer's application hands its events straight to it (TakeTimerEvent).
#include <QObject>
#include <QThread>
#include <QTimerEvent>
#include <algorithm>
#include <memory>

#include "event_queue.h"
#include "layer_life.h"
#include "layer_tables.h"
#include "top_window.h"

namespace {

void FireTimer();

class RepeatingTimer : public QObject {
  public:
    // Counts the period from now, as a restarted timer does.
    void Start(int periodMs) {
        if (id_ != 0) killTimer(id_);
        id_ = startTimer(periodMs, Qt::PreciseTimer);
    }
    int Id() const { return id_; }

  protected:
    void timerEvent(QTimerEvent *event) override {
        if (event->timerId() == id_) FireTimer();
    }

  private:
    int id_ = 0;
};

std::unique_ptr<RepeatingTimer> g_timer;
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
    g_callback = callback;
    g_timerWindow = number;
    if (!g_timer) g_timer = std::make_unique<RepeatingTimer>();
    g_timer->Start(std::max(periodMs, 1));
}

bool TakeTimerEvent(QObject *receiver, QEvent *event) {
    if (event->type() != QEvent::Timer || !g_timer || receiver != g_timer.get() ||
        static_cast<QTimerEvent *>(event)->timerId() != g_timer->Id())
        return false;
    FireTimer();
    return true;
}

void StopRepeatingTimer() {
    g_timer.reset();
    g_callback = nullptr;
    g_inCallback = false;
}

void PauseMilliseconds(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}
