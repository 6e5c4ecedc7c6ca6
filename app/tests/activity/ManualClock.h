#pragma once

#include <chrono>

// A monotonic clock that moves only when the test says so.
struct ManualClock {
    using TimePoint = std::chrono::steady_clock::time_point;
    TimePoint now{std::chrono::hours(1)};

    void advance(std::chrono::milliseconds by) { now += by; }
    auto function() {
        return [this] { return now; };
    }
};
