// Reads the timing of a Standard MIDI File: its length in ticks and seconds and the tempo
// map, so the engine knows a MIDI stream's length and where a seek lands. Checks the file's
// structure on the way; FluidSynth is only given files that pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace engine {

struct TempoChange {
    std::int64_t tick;
    std::uint32_t microseconds_per_quarter;
};

struct MidiTiming {
    std::int64_t total_ticks = 0;
    double seconds_per_tick_smpte = 0;  // non-zero for SMPTE time division
    int ticks_per_quarter = 0;          // for metrical time division
    std::vector<TempoChange> tempo;     // sorted by tick
};

std::optional<MidiTiming> ReadMidiTiming(const std::uint8_t *data, std::size_t size);
double MidiTicksToSeconds(const MidiTiming &timing, std::int64_t tick);
std::int64_t MidiSecondsToTicks(const MidiTiming &timing, double seconds);

}  // namespace engine
