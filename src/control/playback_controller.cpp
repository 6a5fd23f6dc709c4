// The playback controller. The track that plays next is always derived from the selected item
// of the track list, not from what is playing; no field records whether the current stream is
// a file or a station.
#include "playback_controller.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "audio_engine.h"
#include "control_numbers.h"
#include "cover_art.h"
#include "drawing_sizes.h"
#include "next_track.h"
#include "play_order.h"
#include "player_state.h"
#include "track_names.h"
#include "track_tags.h"
#include "widgets.h"

namespace {

// How long a file that did not play shows why before auto-advance goes on.
constexpr std::int64_t kFailureShownMs = 2000;

void ApplyVolume() {
    BASS_ChannelSetAttribute(g.streamHandle, BASS_ATTRIB_VOL, g.volume);
}

// A new stream ends what the scrolling line said about the last station's failure.
void ForgetStationFailure() {
    if (g.marqueeShowsFailure != 0) g.marqueeText = g.marqueeBeforeFailure;
    g.marqueeShowsFailure = 0;
    g.stationError = 0;
}

// Dots kFirstVolumeDot up to lastLit show the lit image, the rest none.
void LightVolumeDots(int lastLit) {
    for (int dot = kFirstVolumeDot; dot <= kLastVolumeDot; ++dot) {
        const NativeHandle image = dot <= lastLit ? NativeImageHandle(kVolumeDotImage) : 0;
        SetControlValue(dot, static_cast<std::intptr_t>(image));
    }
}

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "artist — album", or the one of them there is.
std::string ArtistAndAlbum(const TrackTags &tags) {
    if (tags.artist.empty() || tags.album.empty()) return tags.artist + tags.album;
    return tags.artist + " \u2014 " + tags.album;
}

// Layout of the 128-byte ID3v1 block: "TAG", then title, artist, album (30 bytes each), ...
constexpr int kId3TitleOffset = 3, kId3ArtistOffset = 33, kId3AlbumOffset = 63,
              kId3FieldLength = 30;

// A field of the block up to its first zero byte, without the blanks that pad it.
std::string Id3Field(const char *tag, int offset) {
    const char *field = tag + offset;
    std::string text(field, strnlen(field, kId3FieldLength));
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// What the file's tags say goes into the scrolling line (its title in place of the name) and
// the information line; a file without them shows its name and an empty information line.
// The engine's own ID3v1 block comes last: it is found at the end of any file (a WAV's too,
// where the tag library does not look), its bytes as they are (shown as Windows-1251 when
// they are no UTF-8).
void ShowTrackTags(const std::string &path) {
    TrackTags tags = ReadTrackTags(path);
    if (const char *id3 = BASS_ChannelGetTags(g.streamHandle, BASS_TAG_ID3)) {
        if (tags.title.empty()) tags.title = Id3Field(id3, kId3TitleOffset);
        if (tags.artist.empty()) tags.artist = Id3Field(id3, kId3ArtistOffset);
        if (tags.album.empty()) tags.album = Id3Field(id3, kId3AlbumOffset);
    }
    g.tagTitle = tags.title;
    g.tagArtist = tags.artist;
    g.tagAlbum = tags.album;
    g.tagTrackNumber = tags.trackNumber;
    g.currentTitle = tags.title;
    if (!tags.title.empty()) g.marqueeText = tags.title;
    SetControlText(kInfoLine, ArtistAndAlbum(tags));
    g.coverFile = CoverFileFor(tags, path, CoverCacheFolder());
}

void ForgetTrackTags() {
    g.tagTitle.clear();
    g.tagArtist.clear();
    g.tagAlbum.clear();
    g.tagTrackNumber = 0;
    g.coverFile.clear();
}

// Starts the file at path as the current stream. Auto-advance follows it only when it is a
// track of the list (inList); one opened from elsewhere has no next track.
void StartFileStream(const std::string &path, bool inList) {
    BASS_StreamFree(g.streamHandle);
    ForgetStationFailure();
    ForgetTrackTags();
    g.failedTrackShownUntilMs = 0;
    g.marqueeText = NamePart(path);
    if (path.empty()) return;

    g.streamHandle = TakeTrackStream(path);  // the next track made ready, or a new stream
    // A track that does not play says why in the scrolling line, before its name (not the
    // placeholder of a list that was never filled: that is no file), for a while before
    // auto-advance goes on.
    if (g.streamHandle == 0 && path.front() == '/') {
        g.marqueeText = (BASS_ErrorGetCode() == BASS_ERROR_FILEOPEN ? "Файл не открывается: "
                                                                    : "Не звуковой файл: ") +
                        g.marqueeText;
        g.failedTrackShownUntilMs = NowMs() + kFailureShownMs;
    }
    ++g.streamSerial;
    g.lastStreamWasStation = 0;
    g.streamAddress = path;
    BASS_ChannelPlay(g.streamHandle, FALSE);
    SetControlValue(kAutoAdvanceBox, inList ? 1 : 0);
    ApplyVolume();
    if (g.streamHandle == 0) {
        SetControlText(kInfoLine, "");
        return;
    }
    ShowTrackTags(path);
}

void SelectTrackAndPlay(int index) {
    SetControlValue(kTrackList, index);
    PlaySelectedTrack();
}

}  // namespace

void PlaySelectedTrack() {
    NotePlayedTrack(GetControlValue(kTrackList));
    StartFileStream(GetControlText(kFolderLabel) + GetControlText(kTrackList), true);
}

void PlayFileOutsideList(const std::string &path) {
    StartFileStream(path, false);
}

// Returns at once: the station connects in the background. One that fails, at once (an
// address the engine does not take) or later, says why in the scrolling line (RefreshTick).
void PlayStation(const std::string &address) {
    g.stationOwnName.clear();
    BASS_StreamFree(g.streamHandle);
    ForgetStationFailure();
    g.streamHandle = BASS_StreamCreateURL(address.c_str(), 0, 0, nullptr, nullptr);
    if (g.streamHandle == 0) g.stationError = BASS_ErrorGetCode();
    ++g.streamSerial;
    g.lastStreamWasStation = 1;
    g.streamAddress = address;
    // Auto-advance follows a track's end only: a station that fails, at once or later, ends
    // its stream too, and must not start the folder's next track.
    SetControlValue(kAutoAdvanceBox, 0);
    BASS_ChannelPlay(g.streamHandle, FALSE);
    ApplyVolume();
    // Until its first sound (RefreshTick) the station says that it connects; nothing of the
    // file before it stays in view.
    ForgetTrackTags();
    g.stationConnecting = 1;
    g.marqueeText = "Соединение… " + CurrentStationName();
    SetControlText(kInfoLine, CurrentStationName());
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

float VolumeGain(int percent) {
    if (percent <= 0) return 0.0f;
    const double decibels = -kDecibelsPerVolumeStep * (100 - std::min(percent, 100)) / 10.0;
    return static_cast<float>(std::pow(10.0, decibels / 20.0));
}

void ToggleMute() {
    if (g.volumePercent > 0) {
        g.mutedVolumePercent = g.volumePercent;
        SetVolumePercent(0);
    } else if (g.mutedVolumePercent > 0) {
        SetVolumePercent(g.mutedVolumePercent);
        g.mutedVolumePercent = 0;
    }
}

void SetEqualiserPreset(int preset) {
    if (preset < 0 || preset >= static_cast<int>(BASS_EQ_PRESET_COUNT)) preset = 0;
    g.equaliserPreset = preset;
    BASS_SetEqualizer(BASS_EQ_PRESETS[preset], BASS_EQ_BANDS);
}

void NextEqualiserPreset() {
    SetEqualiserPreset((g.equaliserPreset + 1) % static_cast<int>(BASS_EQ_PRESET_COUNT));
}

std::string EqualiserPresetName(int preset) {
    static constexpr const char *kNames[BASS_EQ_PRESET_COUNT] = {
        "Эквалайзер выключен", "Эквалайзер: басы",  "Эквалайзер: рок",
        "Эквалайзер: поп",     "Эквалайзер: голос", "Эквалайзер: классика",
    };
    if (preset < 0 || preset >= static_cast<int>(BASS_EQ_PRESET_COUNT)) preset = 0;
    return kNames[preset];
}

void SetVolumeStep(int control) {
    LightVolumeDots(control);
    g.mutedVolumePercent = 0;
    g.volume = VolumeGain((control - 400) * 10);
    ApplyVolume();
    SetControlValue(kSpeaker, static_cast<std::intptr_t>(NativeImageHandle(kSpeakerLitImage)));
    g.volumePercent = (control - 400) * 10;
    SetControlText(kMiniVolumeLabel, std::to_string(g.volumePercent));
}

void SetVolumeFromMiniBar() {
    g.mouseX = PointerXInWindow(kMiniWindow);
    // The pointer query answers -1 outside the window (a right click that has just hidden
    // the mini window, say): SetVolumePercent keeps a volume within 0 to 100 percent.
    SetVolumePercent(g.mouseX - ControlLeft(kMiniVolumeBar));
}

void StepTrack(int step) {
    const int current = GetControlValue(kTrackList);
    const int next = TrackStepped(current, step);
    // Without a track to go to, the index says where one would have been (past an end).
    g.trackIndex = next >= 0 ? next : current + step;
    if (next >= 0) SelectTrackAndPlay(next);
}

void AutoAdvance() {
    KeepNextTrackReady();
    if (GetControlValue(kAutoAdvanceBox) == 0) return;
    if (BASS_ChannelIsActive(g.streamHandle) != BASS_ACTIVE_STOPPED) return;
    if (g.failedTrackShownUntilMs != 0 && NowMs() < g.failedTrackShownUntilMs) return;
    const int current = GetControlValue(kTrackList);
    const int next = TrackAfter(current);
    g.trackIndex = next >= 0 ? next : current + 1;
    if (next >= 0) SelectTrackAndPlay(next);
}

// --- Commands of the desktop's media controls and of a later start --------------------------

namespace {

// The engine counts 16-bit stereo frames at 44100 Hz.
constexpr std::int64_t kBytesPerSecond = 176400;
constexpr std::int64_t kBytesPerFrame = 4;

bool StreamIsPaused() {
    return BASS_ChannelIsActive(g.streamHandle) == BASS_ACTIVE_PAUSED;
}

bool StreamIsPlaying() {
    const DWORD active = BASS_ChannelIsActive(g.streamHandle);
    return active == BASS_ACTIVE_PLAYING || active == BASS_ACTIVE_STALLED;
}

}  // namespace

void PausePlayback() {
    if (!StreamIsPlaying()) return;
    // The pause button's toggle, with its flag made to agree with what is heard (it is not
    // reset when a new stream starts).
    g.paused = 0;
    TogglePause();
}

void Play() {
    if (StreamIsPlaying()) return;
    if (StreamIsPaused()) {
        g.paused = 1;
        TogglePause();
    } else if (g.lastStreamWasStation == 1 && !g.stationUrl.empty()) {
        PlayStation(g.stationUrl);
    } else {
        PlaySelectedTrack();
    }
}

void PlayOrPause() {
    if (StreamIsPlaying()) {
        PausePlayback();
    } else {
        Play();
    }
}

void StopPlayback() {
    BASS_StreamFree(g.streamHandle);
    g.streamHandle = 0;
    g.paused = 0;
    // Stopped stays stopped: the next loop turn must not take the silence for a track's end.
    SetControlValue(kAutoAdvanceBox, 0);
}

std::int64_t PlaybackPositionMicroseconds() {
    const QWORD bytes = BASS_ChannelGetPosition(g.streamHandle, BASS_POS_BYTE);
    const double seconds = BASS_ChannelBytes2Seconds(g.streamHandle, bytes);
    if (!(seconds >= 0.0 && seconds < 1e12)) return -1;
    return static_cast<std::int64_t>(seconds * 1e6);
}

std::int64_t PlaybackLengthMicroseconds() {
    const QWORD bytes = BASS_ChannelGetLength(g.streamHandle, BASS_POS_BYTE);
    if (bytes == static_cast<QWORD>(-1)) return -1;
    const double seconds = BASS_ChannelBytes2Seconds(g.streamHandle, bytes);
    if (!(seconds >= 0.0 && seconds < 1e12)) return -1;
    return static_cast<std::int64_t>(seconds * 1e6);
}

void StepVolume(int steps) {
    const int step = static_cast<int>(std::lrint(g.volumePercent / 10.0));
    SetVolumePercent(std::clamp(step + steps, 0, 10) * 10);
}

bool SeekBySeconds(int seconds) {
    const std::int64_t position = PlaybackPositionMicroseconds();
    if (position < 0 || PlaybackLengthMicroseconds() <= 0) return false;
    return SeekToMicroseconds(position + std::int64_t{seconds} * 1000000);
}

bool SeekToMicroseconds(std::int64_t position) {
    const std::int64_t length = PlaybackLengthMicroseconds();
    if (length < 0) return false;  // a station: nothing to seek in
    position = std::clamp<std::int64_t>(position, 0, length);
    const std::int64_t bytes =
        position / 1000 * kBytesPerSecond / 1000 / kBytesPerFrame * kBytesPerFrame;
    return BASS_ChannelSetPosition(g.streamHandle, static_cast<QWORD>(bytes), BASS_POS_BYTE) !=
           FALSE;
}

void SetVolumePercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    // The dots come along, so every volume display agrees: the dot nearest to the volume is
    // the last one lit (0 to 4 percent lights none).
    g.volumePercent = percent;
    if (percent > 0) g.mutedVolumePercent = 0;
    g.volume = VolumeGain(percent);
    SetControlText(kMiniVolumeLabel, std::to_string(percent));
    LightVolumeDots(kFirstVolumeDot - 1 + static_cast<int>(std::lrint(percent / 10.0)));
    ApplyVolume();
}

void PlayAddress(const std::string &address) {
    const auto &entries = g.stations.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].address != address) continue;
        // A station of the list plays as if double-clicked there.
        SetControlValue(kStationList, static_cast<std::intptr_t>(i));
        ActivateStation();
        return;
    }
    SetControlValue(kStationList, -1);
    g.stations.Select(-1);
    g.stationUrl = address;
    g.currentTitle.clear();
    SetControlText(kInfoLine, "");
    PlayStation(address);
}
