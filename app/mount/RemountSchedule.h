#pragma once

#include <QString>
#include <chrono>
#include <optional>

// When to try again to bring back a drive whose engine died: after 1, 2, 4 … seconds (never more
// than the cap between tries), and no more once the allowed tries have failed.
class RemountSchedule {
public:
    struct Limits {
        std::chrono::milliseconds firstDelay{1000};
        std::chrono::milliseconds maxDelay{60'000};
        int tries = 5;
    };

    explicit RemountSchedule(Limits limits) : limits_(limits) {}

    // The wait before the next try; nothing once every try has been used.
    std::optional<std::chrono::milliseconds> nextDelay() const;
    // Counts one try as started.
    void started() { ++started_; }
    int triesStarted() const { return started_; }
    int triesAllowed() const { return limits_.tries; }

private:
    Limits limits_;
    int started_ = 0;
};
