// The engine's one time base: a monotonic clock in nanoseconds, for deadlines and latency.
#pragma once

#include <chrono>
#include <cstdint>

namespace engine {

inline std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace engine
