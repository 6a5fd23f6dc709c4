// The playback controller: the one current stream of the player, started from the selected
// item of the track list or from a station, paused, sought, its volume set from either
// window, stepped through the track list and advanced when a track ends.
#pragma once

#include <cstdint>
#include <string>

void PlaySelectedTrack();
// Plays a file the track list does not hold (opened from elsewhere); auto-advance does not
// follow it.
void PlayFileOutsideList(const std::string &path);
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
// The output gain of a volume in percent: the ten steps of the dots (10, 20, ... 100) lie
// kDecibelsPerVolumeStep apart, so each step sounds as much louder as the last, from
// -40.5 dB at the first up to full at the tenth; percents between lie on the same curve; 0
// is silence.
inline constexpr double kDecibelsPerVolumeStep = 4.5;
float VolumeGain(int percent);
// The speaker: silence, and a second click brings the volume from before back.
void ToggleMute();
// The equaliser's preset (0: off; see BASS_EQ_PRESETS), applied to everything that plays.
void SetEqualiserPreset(int preset);
// The EQ key: the next preset, off after the last.
void NextEqualiserPreset();
// The preset's name as the information line shows it ("Эквалайзер: рок").
std::string EqualiserPresetName(int preset);
void SetVolumeFromMiniBar();
void StepTrack(int step);
void AutoAdvance();
// Moves the volume by whole steps of the ten dots (a wheel notch, the Up and Down keys),
// within silence and full volume.
void StepVolume(int steps);
// Moves the position of a track by seconds (negative: back), within the track; false where
// nothing can be sought (a station, no stream).
bool SeekBySeconds(int seconds);

// Commands of the desktop's media controls and of a later start of the player, built on the
// buttons' commands above.

// Pauses what plays (the pause button's command); nothing when nothing plays.
void PausePlayback();
// Resumes a paused stream; with nothing loaded starts what played last: the station, else
// the selected track (the play button's command). Nothing while something plays.
void Play();
// Play when nothing plays, PausePlayback otherwise.
void PlayOrPause();
// Ends the current stream; nothing follows it until the next play command.
void StopPlayback();
// The heard position and the length of the current stream; -1 when unknown (a station's
// length, no stream).
std::int64_t PlaybackPositionMicroseconds();
std::int64_t PlaybackLengthMicroseconds();
// Seeks within the current stream, clamped to it; false when it cannot seek (a station).
bool SeekToMicroseconds(std::int64_t position);
// Sets the volume (0 to 100, clamped) as the mini bar does, and lights the dots to match.
void SetVolumePercent(int percent);
// Plays an address as a station: a station of the list as if double-clicked there, any
// other address with no title of its own.
void PlayAddress(const std::string &address);
