// The order the track list plays in: repeat (off, the whole list, the one track) and shuffle
// (a shuffled order of the list that plays every track once before any repeats, previous
// going back through what played). Auto-advance, next, previous and the gapless next track
// all ask here; a station is not affected.
#pragma once

#include <cstdint>

enum RepeatMode : int { kRepeatOff = 0, kRepeatList = 1, kRepeatTrack = 2 };

// The item auto-advance plays when the current track ends after item `current` (-1: none
// selected); -1 when nothing follows.
int TrackAfter(int current);
// The item the next (+1) or previous (-1) command plays after `current`; -1 for none.
int TrackStepped(int current, int step);
// Tells the order that item `index` starts playing (whoever chose it), so that a shuffled
// round goes on from it without playing it twice.
void NotePlayedTrack(int index);
// Forgets the shuffled order (a new list).
void ForgetPlayOrder();

// Repeat: off, the whole list, the one track, off...
void CycleRepeat();
void SetRepeat(int mode);
// Turns shuffle on or off; a new round starts with item `current` (-1: none) as its first.
void SetShuffle(bool on, int current);
// Starts the shuffling's random numbers from `start`; for tests, which want the same order
// every run.
void StartShufflingFrom(std::uint32_t start);
