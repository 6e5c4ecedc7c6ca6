#include "tools/devengine/RateLimiter.h"

#include "tools/devengine/Units.h"

#include <algorithm>

RateLimiter::Clock::time_point RateLimiter::reserve(std::uint64_t bytes, Clock::time_point now) {
    if (unlimited())
        return now;
    // A tiny rate makes the cost of a chunk astronomically long (or infinite); converting that
    // to the clock's integer ticks would overflow, so the cost is clamped first.
    const auto cost = std::chrono::duration_cast<Clock::duration>(
        Units::toNanoseconds(static_cast<double>(bytes) / rate_));
    std::lock_guard lock(mutex_);
    const Clock::time_point start = std::max(nextFree_, now);
    nextFree_ = cost > Clock::time_point::max() - start ? Clock::time_point::max() : start + cost;
    return nextFree_;
}
