// Commands that touch only the windows: switching to the mini window and back, and sliding
// the two list panels.
#include <cstdint>

#include "control_numbers.h"
#include "drawing_sizes.h"
#include "event_loop.h"
#include "player_state.h"
#include "widgets.h"

namespace {

constexpr int kPanelOpenHeight = kListPanelOpenHeight;
constexpr int kSlideStep = 2;
constexpr int kPollsPerStep = 10;
constexpr int kPausePerStepMs = 8;

}  // namespace

void ToggleMiniMode() {
    g.miniMode ^= 1;
    if (g.miniMode == 1) {
        SetWindowVisible(kMiniWindow, 1);
        SetWindowVisible(kMainWindow, 0);
    } else {
        SetWindowVisible(kMiniWindow, 0);
        SetWindowVisible(kMainWindow, 1);
    }
}

// The polls between the steps let the window repaint and the refresh timer run; the events
// they return are dropped, so input made during a slide is lost.
void SlidePanel(int container, bool open) {
    for (int step = 0; step <= kPanelOpenHeight / kSlideStep; ++step) {
        const int height = open ? step * kSlideStep : kPanelOpenHeight - step * kSlideStep;
        ResizeControl(container, kKeep, kKeep, kKeep, height);
        for (int poll = 0; poll < kPollsPerStep; ++poll)
            PollNextEvent();
        PauseMilliseconds(kPausePerStepMs);
    }
}

namespace {

// At most one list panel is open: the other one closes first, then this one opens or closes.
void TogglePanel(int panel, std::int32_t &panelClosed, int otherPanel, std::int32_t &otherClosed) {
    if (otherClosed == 0) {
        SlidePanel(otherPanel, false);
        otherClosed = 1;
    }
    SlidePanel(panel, panelClosed == 1);
    panelClosed ^= 1;
}

}  // namespace

void ToggleStationPanel() {
    TogglePanel(kStationPanel, g.stationPanelClosed, kTrackPanel, g.trackPanelClosed);
}

void ToggleTrackPanel() {
    TogglePanel(kTrackPanel, g.trackPanelClosed, kStationPanel, g.stationPanelClosed);
}

void OpenStationPanel() {
    if (g.stationPanelClosed == 1) ToggleStationPanel();
}

void CloseOpenPanel() {
    if (g.stationPanelClosed == 0) ToggleStationPanel();
    if (g.trackPanelClosed == 0) ToggleTrackPanel();
}
