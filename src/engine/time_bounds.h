// The engine's fixed time bounds (a station's opening and read timeout, its reconnections,
// stall report and stale pause, the output's device watch and close delay) go through
// Scaled(), so that the tests can shorten them all by one factor (engine_probe.h,
// ScaleTimeBounds) and a test of a 5 s bound need not wait 5 s. The player never sets the
// factor: it is 1.
//
// Threads: the factor is an atomic, read by any engine thread at each use of a bound.
#pragma once

#include <chrono>
#include <cstdint>

namespace engine {

double TimeBoundScale();

inline std::chrono::nanoseconds Scaled(std::chrono::nanoseconds bound) {
    return std::chrono::nanoseconds(
        static_cast<std::int64_t>(static_cast<double>(bound.count()) * TimeBoundScale()));
}

inline std::chrono::milliseconds ScaledMs(std::chrono::milliseconds bound) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        Scaled(std::chrono::nanoseconds(bound)));
}

}  // namespace engine
