// Waiting for and polling the layer's events. Qt delivers its input, timers and repaints
// only here (and in the window drag and the file dialog), which is where the event filters
// fill the queue and the timer callback runs.
#include <QCoreApplication>
#include <QEventLoop>

#include "event_queue.h"
#include "top_window.h"
#include "widgets.h"

int WaitNextEvent() {
    if (!QCoreApplication::instance()) return kNoEvent;
    LayerEvent event;
    while (!TakeQueuedEvent(event)) {
        FlushStorePaints();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return event.kind;
}

// Always delivers what is pending first, so that repaints and the timer go on while the
// player polls between the steps of an animation.
int PollNextEvent() {
    if (!QCoreApplication::instance()) return kNoEvent;
    FlushStorePaints();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    LayerEvent event;
    return TakeQueuedEvent(event) ? event.kind : kNoEvent;
}
