// The player's audio engine: file and radio streams decoded on threads of their own, mixed
// into one output, with position, length, volume, spectrum data and tags. The calls keep the
// names, types and meaning of the small audio-library interface the player was written
// against. Every call comes from the user-interface thread and returns without waiting on
// the network: a station's stream connects in the background.
//
// Failures: FALSE, handle 0, all bits set for a length or position, a negative number of
// seconds, 0xFFFFFFFF from the data call, a null tag pointer.
#pragma once

#include <cstdint>

extern "C" {

typedef std::uint32_t DWORD;
typedef std::uint64_t QWORD;
typedef int BOOL;
typedef DWORD HSTREAM;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

enum : DWORD {
    BASS_ATTRIB_VOL = 2,
    BASS_POS_BYTE = 0,
    BASS_DATA_FFT2048 = 0x80000003u,
    BASS_TAG_ID3 = 0,
    BASS_TAG_ICY = 4,  // a station's headers: "icy-name:..." texts, each ended by a zero byte
    BASS_TAG_META = 5,
    BASS_ACTIVE_STOPPED = 0,
    BASS_ACTIVE_PLAYING = 1,
    BASS_ACTIVE_STALLED = 2,
    BASS_ACTIVE_PAUSED = 3,
    BASS_EQ_BANDS = 10,
};

// Error codes of BASS_ErrorGetCode.
enum : int {
    BASS_OK = 0,
    BASS_ERROR_MEM = 1,
    BASS_ERROR_FILEOPEN = 2,  // a station address that does not exist (404, unknown host)
    BASS_ERROR_HANDLE = 5,
    BASS_ERROR_SSL = 10,  // a secure connection that could not be made or verified
    BASS_ERROR_ILLPARAM = 20,
    BASS_ERROR_NONET = 32,     // a station that refused or dropped the connection
    BASS_ERROR_TIMEOUT = 40,   // a station that did not answer in time, or sends nothing
    BASS_ERROR_FILEFORM = 41,  // a stream in no format the engine plays
    BASS_ERROR_ENDED = 45,     // the stream has already ended
    BASS_ERROR_PROTOCOL = 48,  // an address of a protocol the engine does not speak
    BASS_ERROR_UNKNOWN = -1,
};

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void *win, const void *clsid);
BOOL BASS_StreamFree(HSTREAM handle);
HSTREAM BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags);
HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, void *proc, void *user);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelPause(DWORD handle);
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
DWORD BASS_ChannelIsActive(DWORD handle);
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
DWORD BASS_ChannelGetData(DWORD handle, void *buffer, DWORD length);
const char *BASS_ChannelGetTags(DWORD handle, DWORD tags);
// Gapless joins: when `current` ends by itself, `next` starts on the very frame after
// current's last one, in the same mix of the output, at current's volume (its own volume
// setting gives way, so a change made on current meanwhile carries over without a click).
// From then on current reads as ended (activity 0) and next as playing; nothing else changes
// (next's position counts from its own start).
// Rules:
// - Both are file streams (not stations), two different ones. Next must not have been
//   played yet (as BASS_StreamCreateFile leaves it); FALSE with BASS_ERROR_ILLPARAM else.
// - Current must not have ended yet: FALSE with BASS_ERROR_ENDED, and next stays as it is
//   (the caller plays it itself). Current may be playing, paused or not yet played.
// - One stream follows current: a later call replaces it, and next 0 takes it away. A stream
//   follows one stream at most: queued after another, it leaves the first.
// - A pause or seek of current keeps the join: next follows wherever current ends. Freeing
//   either ends the join (a freed current leaves next stopped, as created); so does playing
//   next before current ends (it then plays on its own).
BOOL BASS_ChannelQueueAfter(DWORD current, DWORD next);
// The equaliser: ten peaking filters, an octave apart at the centres BASS_EQ_FREQUENCIES
// (31.25 Hz to 16 kHz, as graphic equalisers have them: fine enough for a voice's presence
// around 2 to 4 kHz, few enough to set by ear), each 0.7 octave wide. It acts on every
// stream, files and stations, those playing and those created later, where the output mixes
// it: a change is heard within one output buffer (about 46 ms), moving from the old sound to
// the new over that buffer without a click; the spectrum data shows the equalised sound.
// gainsDb holds `bands` gains in dB, lowest band first (the bands after them are at 0), each
// kept within -12...+12. Before the filters the sound is lowered by the largest gain of their
// whole curve (a lift of 6 dB around 60 Hz lowers everything by about 7 dB, and the bass
// comes out near where it was), so a full-scale sine stays within +-1 at any frequency; a
// guard takes the level down for a moment where a sum of lifted parts would still go beyond
// (full-scale noise through a treble lift). No band set (bands 0) or all gains 0: off, and
// the output is bit for bit what it is without an equaliser.
// Rules: FALSE with BASS_ERROR_ILLPARAM, and nothing changed, for more than BASS_EQ_BANDS
// bands, a null gainsDb with bands > 0, or a gain that is NaN or infinite. May be called
// before BASS_Init and before any stream exists; the setting holds until the next call.
BOOL BASS_SetEqualizer(const float *gainsDb, DWORD bands);
// The error of the last stream creation, free, activity query or equaliser setting: for a
// station's stream whose activity reads 0 or stalled, why it does not play
// (BASS_ERROR_TIMEOUT, _NONET, _FILEOPEN, _SSL, _FILEFORM); BASS_OK while it plays or is
// still connecting.
int BASS_ErrorGetCode(void);

}  // extern "C"

// Centre frequencies (Hz) of the equaliser's bands, lowest first.
inline constexpr float BASS_EQ_FREQUENCIES[BASS_EQ_BANDS] = {31.25f, 62.5f, 125,  250,  500,
                                                             1000,   2000,  4000, 8000, 16000};

// The player's equaliser presets, in the order its EQ key steps through them; each row is
// the gains to hand to BASS_SetEqualizer(BASS_EQ_PRESETS[n], BASS_EQ_BANDS). The player
// names them itself. What each one lowers the sound by before its filters (the largest gain
// of its curve) is given in dB.
enum : DWORD {
    BASS_EQ_OFF,        // flat: the equaliser is off
    BASS_EQ_BASS,       // bass lift: +7 dB at 60 Hz against 4 kHz (lowered by 7.1)
    BASS_EQ_ROCK,       // lows and highs up, low mids down a little (5.5)
    BASS_EQ_POP,        // upper bass and low mids forward, presence back (4.6)
    BASS_EQ_VOICE,      // speech: rumble cut, 1 to 4 kHz up for clarity (4.7)
    BASS_EQ_CLASSICAL,  // almost flat, a little warmth and air (3.2)
    BASS_EQ_PRESET_COUNT,
};
// clang-format off
inline constexpr float BASS_EQ_PRESETS[BASS_EQ_PRESET_COUNT][BASS_EQ_BANDS] = {
    // 31   62  125  250  500   1k   2k   4k   8k  16k
    {   0,   0,   0,   0,   0,   0,   0,   0,   0,   0},  // off
    {   6,   6,   4,   2,   0,   0,   0,   0,   0,   0},  // bass
    {   5,   4,   3,   1,  -1,  -1,   1,   3,   4,   5},  // rock
    {  -1,   1,   3,   4,   3,   0,  -1,  -1,   1,   2},  // pop
    {  -6,  -4,  -2,   0,   2,   4,   4,   3,   0,  -2},  // voice
    {   3,   2,   1,   0,   0,   0,   0,   0,   1,   2},  // classical
};
// clang-format on
