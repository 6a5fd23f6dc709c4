#include "playback_controller.h"

void PlaySelectedTrack() {}
void PlayStation(const std::string &) {}
void ActivateStation() {}
void TogglePause() {}
void SeekToClick() {}
void SetVolumeStep(int) {}
void SetVolumeFromMiniBar() {}
void StepTrack(int) {}
void AutoAdvance() {}
