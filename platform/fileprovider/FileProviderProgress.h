#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <mutex>

// The progress object an entry point hands back at once: a total and the units completed so
// far. Safe to read and set from any thread; an observer hears every change, on the thread
// that made it.
class FileProviderProgress {
public:
    using Observer = std::function<void(qint64 completed, qint64 total)>;

    explicit FileProviderProgress(qint64 totalUnitCount) : total_(totalUnitCount) {}

    qint64 totalUnitCount() const { return total_; }
    qint64 completedUnitCount() const { return completed_.load(); }
    double fractionCompleted() const {
        return total_ > 0 ? double(completed_.load()) / double(total_) : 0.0;
    }
    void setCompletedUnitCount(qint64 units) {
        if (completed_.exchange(units) != units)
            notify(units);
    }
    void addCompletedUnits(qint64 units) { notify(completed_.fetch_add(units) + units); }

    // Replaces the observer; an empty one stops observing.
    void setObserver(Observer observer) {
        std::lock_guard lock(observerMutex_);
        observer_ = std::move(observer);
    }

private:
    void notify(qint64 completed) {
        std::lock_guard lock(observerMutex_);
        if (observer_)
            observer_(completed, total_);
    }

    const qint64 total_;
    std::atomic<qint64> completed_{0};
    std::mutex observerMutex_;
    Observer observer_;
};
