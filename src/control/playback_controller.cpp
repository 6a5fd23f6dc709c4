// The playback controller. The track that plays next is always derived from the selected item
// of the track list, not from what is playing; no field records whether the current stream is
// a file or a station.
#include "playback_controller.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "audio_engine.h"
#include "control_numbers.h"
#include "drawing_sizes.h"
#include "player_state.h"
#include "track_names.h"
#include "widgets.h"

namespace {

// Layout of the 128-byte ID3v1 block: "TAG", then title, artist, album (30 bytes each), ...
constexpr int kId3TitleOffset = 3, kId3ArtistOffset = 33, kId3FieldLength = 30;

// A field of the block up to its first zero byte; trailing blanks are kept.
std::string Id3Field(const char *tag, int offset) {
    const char *field = tag + offset;
    return std::string(field, strnlen(field, kId3FieldLength));
}

void ApplyVolume() {
    BASS_ChannelSetAttribute(g.streamHandle, BASS_ATTRIB_VOL, g.volume);
}

// Dots up to and including lastLit show the lit image, the others none.
void ShowVolumeDots(int lastLit) {
    for (int dot = kFirstVolumeDot; dot <= kLastVolumeDot; ++dot) {
        const NativeHandle image = dot <= lastLit ? NativeImageHandle(kVolumeDotImage) : 0;
        SetControlValue(dot, static_cast<std::intptr_t>(image));
    }
}

void SelectTrackAndPlay(int index) {
    SetControlValue(kTrackList, index);
    PlaySelectedTrack();
}

}  // namespace

void PlaySelectedTrack() {
    BASS_StreamFree(g.streamHandle);
    const std::string path = GetControlText(kFolderLabel) + GetControlText(kTrackList);
    g.marqueeText = NamePart(path);
    if (path.empty()) return;

    g.streamHandle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    BASS_ChannelPlay(g.streamHandle, FALSE);
    SetControlValue(kAutoAdvanceBox, 1);
    ApplyVolume();

    if (g.streamHandle == 0) return;
    const char *id3Tag = BASS_ChannelGetTags(g.streamHandle, BASS_TAG_ID3);
    if (id3Tag != nullptr) {
        // Only the artist is shown; the title is kept.
        SetControlText(kInfoLine, Id3Field(id3Tag, kId3ArtistOffset));
        g.currentTitle = Id3Field(id3Tag, kId3TitleOffset);
    }
}

void PlayStation(const std::string &address) {
    BASS_StreamFree(g.streamHandle);
    g.streamHandle = BASS_StreamCreateURL(address.c_str(), 0, 0, nullptr, nullptr);
    BASS_ChannelPlay(g.streamHandle, FALSE);
    ApplyVolume();
}

void ActivateStation() {
    const int index = GetControlValue(kStationList);
    g.stations.Select(index);
    const StationEntry *station = g.stations.Current();
    if (station == nullptr) return;  // no station selected: nothing to play
    g.stationUrl = station->address;
    g.currentTitle = station->title;
    SetControlText(kInfoLine, g.currentTitle);
    PlayStation(g.stationUrl);
}

void TogglePause() {
    g.paused ^= 1;
    if (g.paused == 1) {
        BASS_ChannelPause(g.streamHandle);
    } else {
        BASS_ChannelPlay(g.streamHandle, FALSE);
    }
}

std::int32_t SeekBytesForOffset(std::int32_t offsetX, std::int32_t lengthBytes) {
    // 32-bit arithmetic as the position has always been computed; widened on the way so that
    // an out-of-range click wraps instead of overflowing.
    return static_cast<std::int32_t>(static_cast<std::int64_t>(offsetX) *
                                     (lengthBytes / kSeekBarWidth));
}

void SeekToClick() {
    g.mouseX = PointerXInWindow(kMainWindow);
    const std::int32_t offsetX = g.mouseX - ControlLeft(kSeekBar);
    // The length is asked for here, not taken from the last refresh tick, so a click that
    // comes before the first tick of a new stream still seeks within it.
    g.streamLengthBytes = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(BASS_ChannelGetLength(g.streamHandle, BASS_POS_BYTE)));
    const std::int32_t position = SeekBytesForOffset(offsetX, g.streamLengthBytes);
    BASS_ChannelSetPosition(g.streamHandle, static_cast<QWORD>(static_cast<std::int64_t>(position)),
                            BASS_POS_BYTE);
}

void SetVolumeStep(int control) {
    ShowVolumeDots(control);
    g.volume = static_cast<float>(control - 400) / 10.0f;
    ApplyVolume();
    SetControlValue(kSpeaker, static_cast<std::intptr_t>(NativeImageHandle(kSpeakerLitImage)));
    g.volumePercent = (control - 400) * 10;
    SetControlText(kMiniVolumeLabel, std::to_string(g.volumePercent));
}

void SetVolumeFromMiniBar() {
    g.mouseX = PointerXInWindow(kMiniWindow);
    // The pointer query answers -1 outside the window (a right click that has just hidden
    // the mini window, say): a volume is never below 0 or above 100 percent.
    g.volumePercent = std::clamp(g.mouseX - ControlLeft(kMiniVolumeBar), 0, 100);
    g.volume = static_cast<float>(g.volumePercent) / 100.0f;
    SetControlText(kMiniVolumeLabel, std::to_string(g.volumePercent));
    // The dot nearest to the new volume is the last one lit: 0 to 4 percent lights none.
    ShowVolumeDots(kFirstVolumeDot - 1 + (g.volumePercent + 5) / 10);
    ApplyVolume();
}

void StepTrack(int step) {
    g.trackIndex = GetControlValue(kTrackList) + step;
    if (step > 0 && g.trackIndex < g.trackCount) SelectTrackAndPlay(g.trackIndex);
    if (step < 0 && g.trackIndex >= 0) SelectTrackAndPlay(g.trackIndex);
}

void AutoAdvance() {
    if (GetControlValue(kAutoAdvanceBox) == 0) return;
    if (BASS_ChannelIsActive(g.streamHandle) != BASS_ACTIVE_STOPPED) return;
    g.trackIndex = GetControlValue(kTrackList) + 1;
    if (g.trackIndex < g.trackCount) SelectTrackAndPlay(g.trackIndex);
}
