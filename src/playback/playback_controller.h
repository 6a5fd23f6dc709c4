// The playback controller: the one current stream of the player, started from the selected
// item of the track list or from a station, paused, sought, its volume set from either
// window, stepped through the track list and advanced when a track ends.
#pragma once

#include <string>

void PlaySelectedTrack();
void PlayStation(const std::string &address);
void ActivateStation();
void TogglePause();
void SeekToClick();
void SetVolumeStep(int control);
void SetVolumeFromMiniBar();
void StepTrack(int step);
void AutoAdvance();
