// The player's audio engine: file and radio streams decoded on threads of their own, mixed
// into one output, with position, length, volume, spectrum data and tags. The calls keep the
// names, types and meaning of the small audio-library interface the player was written
// against. Every call comes from the user-interface thread.
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
    BASS_TAG_META = 5,
    BASS_ACTIVE_STOPPED = 0,
    BASS_ACTIVE_PLAYING = 1,
    BASS_ACTIVE_STALLED = 2,
    BASS_ACTIVE_PAUSED = 3,
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

}  // extern "C"
