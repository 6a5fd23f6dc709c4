// The next track made ready before the current one ends (see next_track.h).
#include "next_track.h"

#include "audio_engine.h"
#include "control_numbers.h"
#include "play_order.h"
#include "player_state.h"
#include "widgets.h"

namespace {

// The next track is made ready this long before the current one ends: its file opens on the
// window's thread, as at any change of track, and a slow disk still has time. A position
// that goes back beyond this (a seek) frees it again, with some room so that it is not
// created and freed over and over at the edge.
constexpr double kReadyAheadSeconds = 5.0;
constexpr double kKeptAheadSeconds = kReadyAheadSeconds + 2.0;

// Seconds left of the current stream; a large number when that is not known (a station, a
// freed stream).
double SecondsLeft() {
    const QWORD length = BASS_ChannelGetLength(g.streamHandle, BASS_POS_BYTE);
    const QWORD position = BASS_ChannelGetPosition(g.streamHandle, BASS_POS_BYTE);
    const double lengthSeconds = BASS_ChannelBytes2Seconds(g.streamHandle, length);
    const double positionSeconds = BASS_ChannelBytes2Seconds(g.streamHandle, position);
    if (lengthSeconds < 0 || positionSeconds < 0) return 1e9;
    return lengthSeconds - positionSeconds;
}

// The file auto-advance plays when the current stream ends (AutoAdvance's choice); empty
// when it plays none.
std::string FollowingTrack() {
    if (GetControlValue(kAutoAdvanceBox) == 0) return {};
    const int index = TrackAfter(GetControlValue(kTrackList));
    if (index < 0) return {};
    const std::string name = ListItemText(kTrackList, index);
    if (name.empty()) return {};
    return GetControlText(kFolderLabel) + name;
}

void ForgetNextTrack() {
    if (g.nextStreamHandle != 0) BASS_StreamFree(g.nextStreamHandle);
    g.nextStreamHandle = 0;
    g.nextStreamAfter = 0;
    g.nextStreamPath.clear();
}

void MakeNextTrackReady(const std::string &path) {
    // Kept also when the file does not play, so that it is tried once: its own turn says why.
    g.nextStreamPath = path;
    g.nextStreamAfter = g.streamHandle;
    g.nextStreamHandle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    if (g.nextStreamHandle == 0) return;
    // Refused when the current stream has just ended: the next turn's AutoAdvance then plays
    // the track the usual way.
    if (BASS_ChannelQueueAfter(g.streamHandle, g.nextStreamHandle) == FALSE) {
        BASS_StreamFree(g.nextStreamHandle);
        g.nextStreamHandle = 0;
    }
}

}  // namespace

void KeepNextTrackReady() {
    const std::string following = FollowingTrack();
    // Once the current stream has ended, the ready one plays (or failed to queue) and waits
    // for AutoAdvance to take it; before that, a ready one is made or kept only near the end.
    const bool ended = BASS_ChannelIsActive(g.streamHandle) == BASS_ACTIVE_STOPPED;
    if (!g.nextStreamPath.empty() &&
        (following != g.nextStreamPath || g.nextStreamAfter != g.streamHandle ||
         (!ended && SecondsLeft() > kKeptAheadSeconds)))
        ForgetNextTrack();
    if (g.nextStreamPath.empty() && !following.empty() && !ended &&
        SecondsLeft() <= kReadyAheadSeconds)
        MakeNextTrackReady(following);
}

std::uint32_t TakeTrackStream(const std::string &path) {
    const HSTREAM ready = g.nextStreamHandle;
    const DWORD activity = BASS_ChannelIsActive(ready);
    const bool started = ready != 0 && path == g.nextStreamPath &&
                         (activity == BASS_ACTIVE_PLAYING || activity == BASS_ACTIVE_STALLED);
    if (started) {
        g.nextStreamHandle = 0;
        g.nextStreamAfter = 0;
        g.nextStreamPath.clear();
        return ready;
    }
    ForgetNextTrack();
    return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
}
