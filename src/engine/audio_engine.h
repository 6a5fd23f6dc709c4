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
// The error of the last stream creation, free or activity query: for a station's stream whose
// activity reads 0 or stalled, why it does not play (BASS_ERROR_TIMEOUT, _NONET, _FILEOPEN,
// _SSL, _FILEFORM); BASS_OK while it plays or is still connecting.
int BASS_ErrorGetCode(void);

}  // extern "C"
