#include "player_state.h"

PlayerState g;

void StationList::Select(int i) {
    current = (i >= 0 && i < static_cast<int>(entries.size())) ? i : -1;
}

const StationEntry *StationList::Current() const {
    return current >= 0 && current < static_cast<int>(entries.size()) ? &entries[current] : nullptr;
}

std::string CurrentStationName() {
    return g.currentTitle.empty() ? g.streamAddress : g.currentTitle;
}

void ShowMarqueeMessage(const std::string &text) {
    g.marqueeText = text;
    g.marqueeShowsFailure = 0;
}

void ResetPlayerState() {
    g = PlayerState{};
}
