// The order the list plays in: repeat's three settings and shuffle's rounds, as auto-advance,
// next and previous ask for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "play_order.h"
#include "player_state.h"

namespace {

class PlayOrder : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        g.trackCount = 5;
        StartShufflingFrom(7);
    }
};

TEST_F(PlayOrder, InOrder_RepeatOffStopsAtTheEnds_ListWrapsAround_TrackRepeatsItself) {
    EXPECT_EQ(TrackAfter(-1), 0);
    EXPECT_EQ(TrackAfter(3), 4);
    EXPECT_EQ(TrackAfter(4), -1);
    EXPECT_EQ(TrackStepped(0, -1), -1);
    SetRepeat(kRepeatList);
    EXPECT_EQ(TrackAfter(4), 0);
    EXPECT_EQ(TrackStepped(0, -1), 4);
    EXPECT_EQ(TrackStepped(-1, -1), 4);
    SetRepeat(kRepeatTrack);
    EXPECT_EQ(TrackAfter(2), 2);       // auto-advance plays it again
    EXPECT_EQ(TrackStepped(2, 1), 3);  // next still goes on
    EXPECT_EQ(TrackStepped(4, 1), -1);
    CycleRepeat();
    EXPECT_EQ(g.repeat, kRepeatOff);
    g.trackCount = 0;
    EXPECT_EQ(TrackAfter(-1), -1);
}

// Every track once a round; previous goes back through what played; the round's end with
// repeat begins a new one that does not start with the track just heard.
TEST_F(PlayOrder, Shuffle_EveryTrackOnceARound_PreviousRetracesIt) {
    SetShuffle(true, 2);
    std::vector<int> played = {2};
    for (int i = 0; i < 4; ++i) {
        played.push_back(TrackAfter(played.back()));
        NotePlayedTrack(played.back());
    }
    EXPECT_EQ(std::set<int>(played.begin(), played.end()).size(), 5u);
    EXPECT_EQ(played.front(), 2);
    EXPECT_EQ(TrackAfter(played.back()), -1);  // the round is over, no repeat
    for (int i = 4; i > 0; --i) {
        EXPECT_EQ(TrackStepped(played[i], -1), played[i - 1]);
    }
    EXPECT_EQ(TrackStepped(played[0], -1), -1);
    SetRepeat(kRepeatList);
    const int first = TrackAfter(played.back());
    EXPECT_GE(first, 0);
    EXPECT_NE(first, played.back());
}

TEST_F(PlayOrder, Shuffle_APickByHandPlaysOnceAndTheRoundGoesOn) {
    SetShuffle(true, -1);
    const int a = TrackAfter(-1);
    NotePlayedTrack(a);
    // The user double-clicks some track not yet heard.
    int picked = 0;
    while (picked == a)
        ++picked;
    NotePlayedTrack(picked);
    std::vector<int> heard = {a, picked};
    for (int next = TrackAfter(picked); next >= 0; next = TrackAfter(next)) {
        heard.push_back(next);
        NotePlayedTrack(next);
        ASSERT_LE(heard.size(), 5u);
    }
    EXPECT_EQ(std::set<int>(heard.begin(), heard.end()).size(), 5u);
    EXPECT_EQ(heard.size(), 5u);
}

TEST_F(PlayOrder, Shuffle_AListThatChanged_GetsAFittingOrder) {
    SetShuffle(true, 0);
    g.trackCount = 3;  // a new folder, shorter
    ForgetPlayOrder();
    std::set<int> seen;
    for (int next = TrackAfter(-1); next >= 0; next = TrackAfter(next)) {
        EXPECT_LT(next, 3);
        NotePlayedTrack(next);
        ASSERT_TRUE(seen.insert(next).second);
    }
    EXPECT_EQ(seen.size(), 3u);
    SetShuffle(false, -1);
    EXPECT_EQ(TrackAfter(0), 1);
}

}  // namespace
