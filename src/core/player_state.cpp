#include "player_state.h"

PlayerState g;

void StationList::Select(int i) {
    current = (i >= 0 && i < static_cast<int>(entries.size())) ? i : -1;
}

const StationEntry *StationList::Current() const {
    return current >= 0 && current < static_cast<int>(entries.size()) ? &entries[current] : nullptr;
}

std::string CurrentStationName() {
    // A station played by its address has that address for its title: no title of its own.
    if (!g.currentTitle.empty() && g.currentTitle != g.streamAddress) return g.currentTitle;
    return g.stationOwnName.empty() ? g.streamAddress : g.stationOwnName;
}

void ShowMarqueeMessage(const std::string &text) {
    g.marqueeText = text;
    g.marqueeShowsFailure = 0;
}

void ResetPlayerState() {
    g = PlayerState{};
}
