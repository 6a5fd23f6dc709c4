// Read-only looks inside the engine for its benchmarks and tests, never for the player.
#pragma once

#include <cstdint>

#include "audio_engine.h"

namespace engine {

// Steady-clock nanoseconds when the output first took frames of the stream after its last
// start, 0 before that or for an unknown handle.
std::int64_t FirstFrameNs(DWORD handle);

}  // namespace engine
