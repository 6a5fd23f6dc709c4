// Looks inside the engine for its benchmarks and tests, never for the player, and one knob
// for the tests: the scale of the engine's time bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio_engine.h"

namespace engine {

// Steady-clock nanoseconds when the output first took frames of the stream after its last
// start, 0 before that or for an unknown handle.
std::int64_t FirstFrameNs(DWORD handle);

// Keeps a copy of the next `frames` stereo frames the output mixes (what goes to the device,
// before SDL converts it), from its next buffer on; a later call starts a new copy.
void CaptureOutput(std::size_t frames);
// The copy so far (interleaved stereo), ending it.
std::vector<float> CapturedOutput();

// How far into its file the latest MP3 opening walked the frames (BeginMp3Walk, on
// whichever thread opened): what opening a file read of it, the rest being walked later on
// the stream's own thread.
std::uint64_t LastMp3OpeningWalkBytes();

// Multiplies every fixed time bound of the engine (a station's 5 s opening and read timeout,
// the 1 s between reconnections, the 10 s stall report, the 5 s stale pause, the output's
// device watch and close delay) by `scale`, kept within 0.01 to 1; 1 restores them. Takes
// effect at each bound's next use. Only called by tests, and each test that scales resets
// the scale at its end (a CTest test is a process of its own, so a leftover scale goes no
// further than the program it ran in).
void ScaleTimeBounds(double scale);

}  // namespace engine
