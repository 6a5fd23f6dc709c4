#include "play_order.h"

#include <algorithm>
#include <random>
#include <vector>

#include "player_state.h"

namespace {

std::mt19937 &Random() {
    static std::mt19937 random{std::random_device{}()};
    return random;
}

// A new round: every item once, in a shuffled order. The item that played last does not
// come first again, so a repeated list never plays one track twice in a row.
void Shuffle(int avoidFirst) {
    std::vector<std::int32_t> &order = g.shuffleOrder;
    order.resize(static_cast<std::size_t>(std::max(g.trackCount, 0)));
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::int32_t>(i);
    std::shuffle(order.begin(), order.end(), Random());
    if (order.size() > 1 && order.front() == avoidFirst) std::swap(order[0], order[1]);
    g.shuffleCursor = -1;  // nothing of the round played yet
}

// The order fits the list: made anew when the list changed under it.
void KeepOrderFitting() {
    if (g.shuffleOrder.size() != static_cast<std::size_t>(std::max(g.trackCount, 0))) Shuffle(-1);
}

int ShuffledStep(int current, int step) {
    KeepOrderFitting();
    if (g.shuffleOrder.empty()) return -1;
    const int n = static_cast<int>(g.shuffleOrder.size());
    // Where the current item stands in the round (an item picked by hand was noted there).
    int at = g.shuffleCursor;
    if (at < 0 || at >= n || g.shuffleOrder[static_cast<std::size_t>(at)] != current) {
        const auto found = std::find(g.shuffleOrder.begin(), g.shuffleOrder.end(), current);
        at = found == g.shuffleOrder.end() ? -1 : static_cast<int>(found - g.shuffleOrder.begin());
    }
    const int next = at + step;
    if (next >= 0 && next < n) return g.shuffleOrder[static_cast<std::size_t>(next)];
    if (step > 0 && g.repeat == kRepeatList) {
        Shuffle(current);
        return g.shuffleOrder.front();
    }
    return -1;  // before the round's first, after its last without repeat
}

}  // namespace

int TrackAfter(int current) {
    if (g.trackCount <= 0) return -1;
    if (g.repeat == kRepeatTrack && current >= 0 && current < g.trackCount) return current;
    return TrackStepped(current, +1);
}

int TrackStepped(int current, int step) {
    if (g.trackCount <= 0) return -1;
    if (g.shuffle == 1) return ShuffledStep(current, step);
    const int next = current + step;
    if (next >= 0 && next < g.trackCount) return next;
    if (g.repeat != kRepeatList) return -1;
    // Around the ends of a repeated list; nothing selected steps onto the first or last.
    if (step > 0) return current < 0 ? 0 : (current + step) % g.trackCount;
    return current < 0 ? g.trackCount - 1
                       : ((current + step) % g.trackCount + g.trackCount) % g.trackCount;
}

void NotePlayedTrack(int index) {
    if (g.shuffle != 1 || index < 0 || index >= g.trackCount) return;
    KeepOrderFitting();
    std::vector<std::int32_t> &order = g.shuffleOrder;
    const auto found = std::find(order.begin(), order.end(), index);
    if (found == order.end()) return;
    const int at = static_cast<int>(found - order.begin());
    const int cursor = g.shuffleCursor;
    if (at == cursor) return;
    // Picked ahead of the round: it plays now, the rest of the round keeps its order. Picked
    // from what already played: it becomes the latest played.
    order.erase(found);
    if (at > cursor) {
        order.insert(order.begin() + (cursor + 1), index);
        g.shuffleCursor = cursor + 1;
    } else {
        order.insert(order.begin() + cursor, index);
    }
}

void ForgetPlayOrder() {
    g.shuffleOrder.clear();
    g.shuffleCursor = -1;
}

void CycleRepeat() {
    SetRepeat((g.repeat + 1) % 3);
}

void SetRepeat(int mode) {
    g.repeat = std::clamp(mode, 0, 2);
}

void SetShuffle(bool on, int current) {
    if ((g.shuffle == 1) == on) return;
    g.shuffle = on ? 1 : 0;
    ForgetPlayOrder();
    if (!on) return;
    Shuffle(-1);
    NotePlayedTrack(current);  // the round starts with what plays now
}

void StartShufflingFrom(std::uint32_t start) {
    Random() = std::mt19937{start};
}
