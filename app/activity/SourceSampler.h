#pragma once

#include "app/activity/StatsSample.h"
#include "shared/SyncStatus.h"

#include <QString>
#include <optional>

// The file reads of one activity tick. They may touch FUSE mounts whose daemon hangs, so they
// run on worker threads and share nothing with the caller.
class SourceSampler {
public:
    // A .stats file larger than this is not JuiceFS's and is skipped.
    static constexpr qint64 kMaxStatsBytes = 1024 * 1024;

    struct StatsRead {
        // Nothing where the file could not be read or is not a stats file.
        std::optional<StatsSample> sample;
        // The errno of a failed open (ENOTCONN: the drive's engine is gone); 0 otherwise.
        int openError = 0;
    };

    static std::optional<SyncStatus> readLedger(const QString& ledgerFile);
    // One .stats file; nothing when it is missing, unreadable, too large or not UTF-8.
    static StatsRead readStats(const QString& path);
    // Whether a failed open means the drive itself no longer answers.
    static bool isDriveFailure(int openError);
};
