#include "tools/devengine/RateLimiter.h"

#include <algorithm>

RateLimiter::Clock::time_point RateLimiter::reserve(std::uint64_t bytes, Clock::time_point now) {
    if (unlimited())
        return now;
    const auto cost = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / rate_));
    std::lock_guard lock(mutex_);
    nextFree_ = std::max(nextFree_, now) + cost;
    return nextFree_;
}
