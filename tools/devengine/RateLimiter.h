#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

// Paces transfers to a byte rate: each chunk may leave only when the time its bytes take at
// that rate has passed, and idle time is not saved up, so N bytes always take at least N/rate.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    // 0 or less means unlimited.
    explicit RateLimiter(double bytesPerSecond) : rate_(bytesPerSecond) {}

    bool unlimited() const { return rate_ <= 0; }
    // When a chunk of this size, asked for at `now`, may be sent. Thread-safe.
    Clock::time_point reserve(std::uint64_t bytes, Clock::time_point now);

private:
    std::mutex mutex_;
    double rate_;
    Clock::time_point nextFree_{};
};
