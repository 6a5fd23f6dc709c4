// The next track made ready while the current one ends, so that auto-advance joins them
// without a gap: a few seconds before the end of a track that auto-advance would follow with
// the next item of the track list, that item's stream is created and queued after the current
// one in the engine (BASS_ChannelQueueAfter), which starts it on the sample after the
// current's last. When the current then reads as ended, AutoAdvance plays the next item as
// ever, and PlaySelectedTrack takes the stream already playing instead of creating it anew:
// the list, the player state and what is published change in the same order as without it.
#pragma once

#include <cstdint>
#include <string>

// Once every loop turn (from AutoAdvance, before it looks for the end): makes the next track
// ready when its time has come, and frees a ready one that no longer fits: another stream is
// current, the list or its selection changed, the position went back from the end, or
// auto-advance is disarmed (a station, a stop).
void KeepNextTrackReady();

// The stream of the track at `path`, about to become the current one: the ready stream when
// it is this track and has started after the current's end, else a new one (whose failure
// BASS_ErrorGetCode then tells, as after BASS_StreamCreateFile). A ready stream not taken is
// freed. Must: only called where a file becomes the current stream (PlaySelectedTrack and a
// file played from outside the list), after the current stream was freed.
std::uint32_t TakeTrackStream(const std::string &path);
