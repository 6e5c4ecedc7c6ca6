#pragma once

#include "app/import/ImportState.h"
#include "app/import/SyncMetrics.h"

#include <chrono>
#include <optional>

// Turns successive metric samples of one import into its progress: the counters, whether the
// source is still being listed, a copy rate smoothed 30/70 over samples at least 0.5 s apart,
// and the time left once nine objects have been handled.
class ImportProgressModel {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // The import's engine started now.
    void begin(TimePoint now);
    // The progress after this sample, given the one shown so far. An empty sample changes
    // nothing (nullopt).
    std::optional<ImportProgress> apply(const SyncMetrics::Values& values,
                                        const ImportProgress& current, TimePoint now);
    // Seconds since begin(), 0 before it.
    double elapsedSeconds(TimePoint now) const;

    // Counters beyond this are not counts this program can show; they are held there.
    static qint64 toCount(double value);

private:
    std::optional<TimePoint> startedAt_;
    std::optional<TimePoint> lastSampleAt_;
    qint64 lastBytes_ = 0;
};
