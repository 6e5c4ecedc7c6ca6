#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <functional>
#include <mutex>

// The read history of each item that is read in parts, to read further ahead the longer an
// item is read in sequence. Safe from any thread: every look, change and eviction happens
// under one lock.
class PrefetchTracker {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr qint64 kSequentialWindow = 4 * 1024 * 1024;
    static constexpr qint64 kStreakCap = 8;
    static constexpr qint64 kStaleSeconds = 300;

    struct State {
        qint64 lastEnd = 0;
        qint64 streak = 0;
        QDateTime lastAccess;
        // Where the last fetch of the item ended, read-ahead included.
        qint64 fetchedEnd = 0;
    };

    explicit PrefetchTracker(Clock clock = {});

    // Records a request and returns how many bytes to read beyond its end. A request counts
    // as sequential when it starts near the last request's end, or near the end of what was
    // last fetched: the system serves reads from what it has, so a reader going on in
    // sequence asks next for the bytes after the read-ahead.
    qint64 recordAndAdvise(const QString& itemId, qint64 requestedStart, qint64 requestedEnd);
    // Records where the fetch that recordAndAdvise() sized ends.
    void recordFetched(const QString& itemId, qint64 fetchedEnd);
    // The read-ahead for a streak of near-sequential requests.
    static qint64 readAheadFor(qint64 streak);

    // For tests: the state kept for an item, if any.
    std::optional<State> state(const QString& itemId) const;
    int trackedItems() const;

private:
    void evictIfStale_locked(const QDateTime& now);

    Clock clock_;
    mutable std::mutex lock_;
    QHash<QString, State> states_;
};
