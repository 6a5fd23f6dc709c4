// The playback controller: the one current stream of the player, started from the selected
// item of the track list or from a station, paused, sought, its volume set from either
// window, stepped through the track list and advanced when a track ends.
#pragma once

#include <cstdint>
#include <string>

void PlaySelectedTrack();
void PlayStation(const std::string &address);
void ActivateStation();
void TogglePause();
// Seeks to where the seek bar was clicked: the click's offset from the bar's left edge times
// the stream's length over the bar's width.
void SeekToClick();
// The byte position SeekToClick asks for: offsetX * (lengthBytes / kSeekBarWidth), in 32 bits.
std::int32_t SeekBytesForOffset(std::int32_t offsetX, std::int32_t lengthBytes);
// Both set the volume and show it in both windows: the dots (the nearest one lit last after a
// mini-bar click) and the mini window's percent number.
void SetVolumeStep(int control);
void SetVolumeFromMiniBar();
void StepTrack(int step);
void AutoAdvance();
