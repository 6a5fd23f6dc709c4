// The layer's own event queue. Window-level events (close request, moved, resized,
// activated, repainted) wait in a queue of their own and are handed out before input events,
// which keep the order in which delivery produced them.
#pragma once

#include "widgets.h"

struct LayerEvent {
    int kind = 0;
    int window = 0;
    int control = -1;  // control events only
    int subtype = 0;   // control events only
};

// Skipped when the last queued window-level event has the same kind and window.
void QueueWindowEvent(int kind, int window);
void QueueInputEvent(int kind, int window);
void QueueControlEvent(int control, int subtype, int window);

bool HasQueuedEvent();
// Removes the next event and records it as the last returned; false when none is queued.
bool TakeQueuedEvent(LayerEvent &event);
// Drops everything queued and resets the event record.
void ClearEventQueue();
