#include "fileprovider/PrefetchTracker.h"

#include <cstdlib>

PrefetchTracker::PrefetchTracker(Clock clock) : clock_(std::move(clock)) {
    if (!clock_)
        clock_ = [] { return QDateTime::currentDateTimeUtc(); };
}

qint64 PrefetchTracker::readAheadFor(qint64 streak) {
    constexpr qint64 kMiB = 1024 * 1024;
    switch (streak) {
    case 0:
        return 16 * kMiB;
    case 1:
        return 32 * kMiB;
    case 2:
        return 64 * kMiB;
    default:
        return 128 * kMiB;
    }
}

qint64 PrefetchTracker::recordAndAdvise(const QString& itemId, qint64 requestedStart,
                                        qint64 requestedEnd) {
    std::lock_guard guard(lock_);
    const QDateTime now = clock_();
    const State previous = states_.value(itemId);
    const bool sequential = std::llabs(requestedStart - previous.lastEnd) < kSequentialWindow ||
                            (previous.fetchedEnd > 0 &&
                             std::llabs(requestedStart - previous.fetchedEnd) < kSequentialWindow);
    const qint64 streak = sequential ? std::min(previous.streak + 1, kStreakCap) : 0;
    states_.insert(itemId, State{requestedEnd, streak, now, 0});
    evictIfStale_locked(now);
    return readAheadFor(streak);
}

void PrefetchTracker::recordFetched(const QString& itemId, qint64 fetchedEnd) {
    std::lock_guard guard(lock_);
    const auto it = states_.find(itemId);
    if (it != states_.end())
        it->fetchedEnd = fetchedEnd;
}

void PrefetchTracker::evictIfStale_locked(const QDateTime& now) {
    const QDateTime oldest = now.addSecs(-kStaleSeconds);
    states_.removeIf([&](const auto& entry) { return entry.value().lastAccess < oldest; });
}

std::optional<PrefetchTracker::State> PrefetchTracker::state(const QString& itemId) const {
    std::lock_guard guard(lock_);
    const auto it = states_.constFind(itemId);
    if (it == states_.cend())
        return std::nullopt;
    return *it;
}

int PrefetchTracker::trackedItems() const {
    std::lock_guard guard(lock_);
    return int(states_.size());
}
