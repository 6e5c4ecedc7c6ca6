#pragma once

#include <QtGlobal>
#include <atomic>

// The progress object an entry point hands back at once: a total and the units completed so
// far. Safe to read and set from any thread.
class FileProviderProgress {
public:
    explicit FileProviderProgress(qint64 totalUnitCount) : total_(totalUnitCount) {}

    qint64 totalUnitCount() const { return total_; }
    qint64 completedUnitCount() const { return completed_.load(); }
    void setCompletedUnitCount(qint64 units) { completed_.store(units); }
    void addCompletedUnits(qint64 units) { completed_.fetch_add(units); }

private:
    const qint64 total_;
    std::atomic<qint64> completed_{0};
};
