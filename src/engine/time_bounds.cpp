#include "time_bounds.h"

#include <atomic>
#include <cmath>

#include "engine_probe.h"

namespace engine {
namespace {

std::atomic<double> g_time_bound_scale{1.0};

}  // namespace

double TimeBoundScale() {
    return g_time_bound_scale.load(std::memory_order_relaxed);
}

void ScaleTimeBounds(double scale) {
    // A bound of zero or less would turn every wait into a busy loop or an instant failure.
    if (!std::isfinite(scale) || scale < 0.01) scale = 0.01;
    if (scale > 1.0) scale = 1.0;
    g_time_bound_scale.store(scale, std::memory_order_relaxed);
}

}  // namespace engine
