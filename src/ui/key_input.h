// What the windows' input filter and the event queue share of the keys (see key_events.h).
// Not for use outside src/ui.
#pragma once

class QKeyEvent;

// Queues a kKeyPress event of the window for a press; false for a modifier key alone, which
// makes none.
bool QueueKeyPress(const QKeyEvent &event, int window);
// Only called by the event queue as it returns a kKeyPress event: its key becomes the last.
void TakeQueuedKey();
// Only called when the event queue is cleared.
void ForgetQueuedKeys();
