#include "app/mount/RemountSchedule.h"

#include <algorithm>

std::optional<std::chrono::milliseconds> RemountSchedule::nextDelay() const {
    if (started_ >= limits_.tries)
        return std::nullopt;
    auto delay = limits_.firstDelay;
    for (int i = 0; i < started_ && delay < limits_.maxDelay; ++i)
        delay *= 2;
    return std::min(delay, limits_.maxDelay);
}
