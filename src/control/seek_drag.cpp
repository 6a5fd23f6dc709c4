#include "seek_drag.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "control_numbers.h"
#include "drawing_sizes.h"
#include "playback_controller.h"
#include "player_state.h"
#include "widgets.h"

namespace {

// The pointer's place on the bar, within it.
int PointerOnBar() {
    return std::clamp(PointerXInWindow(kMainWindow) - ControlLeft(kSeekBar), 0, kSeekBarWidth);
}

std::int64_t PlaceOnBar(int x, std::int64_t length) {
    return length * x / kSeekBarWidth;
}

}  // namespace

void SeekWithPointer() {
    const std::int64_t length = PlaybackLengthMicroseconds();
    if (length <= 0) {
        SeekToClick();  // nothing to follow: a station, no stream
        return;
    }
    const int pressedAt = PointerOnBar();
    const std::int64_t position = std::max<std::int64_t>(PlaybackPositionMicroseconds(), 0);
    const int knob = static_cast<int>(position * kSeekBarWidth / length);
    // The knob is drawn from its left edge at the position: a press on it takes it along.
    const bool onKnob = pressedAt >= knob - 1 && pressedAt <= knob + kSeekKnobWidth;
    if (!onKnob) SeekToClick();

    bool moved = false;
    int x = pressedAt;
    while (LeftButtonHeld()) {
        WaitForMoreInput();
        x = PointerOnBar();
        if (std::abs(x - pressedAt) > 2) moved = true;
        if (moved) {
            g.seekDragging = 1;
            g.seekDragMicroseconds = PlaceOnBar(x, length);
        }
    }
    g.seekDragging = 0;
    if (moved) SeekToMicroseconds(PlaceOnBar(x, length));
}
