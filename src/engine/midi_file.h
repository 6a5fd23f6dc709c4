// Reads a Standard MIDI File into one time-ordered list of the messages a synthesizer
// plays, each with its time in seconds, and the song's length. The decoder feeds the
// synthesizer from this list itself, so seeks, format 2 and files other readers give up on
// all follow the same rules, which are written down in midi_file.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace engine {

struct MidiEvent {
    double seconds;       // from the start of the song
    std::uint32_t sysex;  // status 0xF0 only: index into MidiSong::sysex
    std::uint8_t status;  // a channel message (0x80 to 0xEF) or 0xF0 (system exclusive)
    std::uint8_t data1;   // 0 to 127
    std::uint8_t data2;   // 0 to 127; 0 for messages with one data byte
};

struct MidiSysex {
    std::uint32_t offset;  // into MidiSong::sysex_bytes
    std::uint32_t length;  // the message's bytes without the leading F0 and trailing F7
};

struct MidiSong {
    int format = 0;
    // Time order; events of the same moment keep the order of their tracks in the file,
    // then their order within the track.
    std::vector<MidiEvent> events;
    std::vector<MidiSysex> sysex;
    std::vector<std::uint8_t> sysex_bytes;
    double seconds = 0;  // where the last track ends; the tracks one after another in format 2
};

// The most events a song keeps; the rest of a file past them is not read. A few times
// more than the largest real songs, about 32 MB.
inline constexpr std::size_t kMaxMidiEvents = 2'000'000;

// Null for data that is no Standard MIDI File at all (no header, no track chunk, a time
// division of 0); anything broken past that is read as far as it can be.
std::optional<MidiSong> ReadMidiSong(const std::uint8_t *data, std::size_t size);

// A RIFF MIDI file (.rmi: "RIFF", size, "RMID", chunks) carries a Standard MIDI File in its
// "data" chunk. The offset and size of that file inside data; nullopt when data is no RIFF
// MIDI file or its data chunk is missing or runs past the end.
struct ByteSpan {
    std::size_t offset = 0, size = 0;
};
std::optional<ByteSpan> SmfInsideRiff(const std::uint8_t *data, std::size_t size);

}  // namespace engine
