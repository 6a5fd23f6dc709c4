// What the layer's application and its release need of the other parts: the parts of
// ReleaseWidgetLayer that leave the application object alive (tests use them to start every
// case from an empty layer), and the repeating timer's ticks.
#pragma once

class QEvent;
class QObject;

// Stops and destroys the repeating timer.
void StopRepeatingTimer();
// Runs the repeating timer's callback when the event is its tick, for the layer's application
// to deliver before anything else looks at the event; false for any other event.
bool TakeTimerEvent(QObject *receiver, QEvent *event);
// Destroys every window and control, empties the event queue and resets the event record,
// the pointer shape, the timer and the test file chooser. Images and fonts stay.
void ReleaseWindowsAndEvents();
