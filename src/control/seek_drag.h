// The seek bar under the pointer: a press off the knob jumps there at once, as a click always
// did; while the button stays down the knob follows the pointer (drawn by the refresh tick
// from seekDragMicroseconds), and the release seeks to where it was let go.
#pragma once

// The seek bar's left press. Returns once the button is up. Must: only called for a left
// press on the seek bar, from the event loop (it waits inside the widget layer meanwhile).
void SeekWithPointer();
