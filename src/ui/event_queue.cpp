// The layer's event queue and the record of the last returned event.
#include "event_queue.h"

#include <deque>

#include "drop_input.h"
#include "key_input.h"
#include "widgets.h"

namespace {

std::deque<LayerEvent> g_windowEvents;
std::deque<LayerEvent> g_inputEvents;

// The record of the last event returned; its control changes only with control events.
int g_lastWindow = 0;
int g_lastControl = 0;
int g_lastSubtype = kNoSubtype;

}  // namespace

void QueueWindowEvent(int kind, int window) {
    if (!g_windowEvents.empty() && g_windowEvents.back().kind == kind &&
        g_windowEvents.back().window == window)
        return;
    g_windowEvents.push_back(LayerEvent{kind, window, -1, kNoSubtype});
}

void QueueInputEvent(int kind, int window) {
    g_inputEvents.push_back(LayerEvent{kind, window, -1, kNoSubtype});
}

void QueueControlEvent(int control, int subtype, int window) {
    g_inputEvents.push_back(LayerEvent{kControlEvent, window, control, subtype});
}

bool HasQueuedEvent() {
    return !g_windowEvents.empty() || !g_inputEvents.empty();
}

bool TakeQueuedEvent(LayerEvent &event) {
    std::deque<LayerEvent> &from = !g_windowEvents.empty() ? g_windowEvents : g_inputEvents;
    if (from.empty()) return false;
    event = from.front();
    from.pop_front();
    g_lastWindow = event.window;
    if (event.kind == kControlEvent) {
        g_lastControl = event.control;
        g_lastSubtype = event.subtype;
    }
    if (event.kind == kKeyPress) TakeQueuedKey();
    if (event.kind == kDrop) TakeQueuedDrop();
    return true;
}

void ClearEventQueue() {
    g_windowEvents.clear();
    g_inputEvents.clear();
    g_lastWindow = 0;
    g_lastControl = 0;
    g_lastSubtype = kNoSubtype;
    ForgetQueuedKeys();
    ForgetQueuedDrops();
}

int LastEventWindow() {
    return g_lastWindow;
}
int LastEventControl() {
    return g_lastControl;
}
int LastEventSubtype() {
    return g_lastSubtype;
}
