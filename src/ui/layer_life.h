// The parts of ReleaseWidgetLayer that leave the application object alive; tests use them to
// start every case from an empty layer.
#pragma once

// Stops and destroys the repeating timer.
void StopRepeatingTimer();
// Destroys every window and control, empties the event queue and resets the event record,
// the pointer shape, the timer and the test file chooser. Images and fonts stay.
void ReleaseWindowsAndEvents();
