// What the windows and the event queue share of the drops (see drop_events.h). Not for use
// outside src/ui.
#pragma once

class QWidget;

// Lets the top-level window take drops of files and addresses, each queued as a kDrop event
// of the window numbered window. Called once as the window is made.
void AcceptDrops(QWidget *topWindow, int window);
// Only called by the event queue as it returns a kDrop event: its drop becomes the last.
void TakeQueuedDrop();
// Only called when the event queue is cleared.
void ForgetQueuedDrops();
