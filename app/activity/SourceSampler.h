#pragma once

#include "app/activity/StatsSample.h"
#include "shared/SyncStatus.h"

#include <QList>
#include <QStringList>
#include <optional>

// The file reads of one activity tick. They may touch FUSE mounts whose daemon hangs, so they
// run on a worker thread and share nothing with the caller.
class SourceSampler {
public:
    // A .stats file larger than this is not JuiceFS's and is skipped.
    static constexpr qint64 kMaxStatsBytes = 1024 * 1024;

    struct Snapshot {
        std::optional<SyncStatus> ledger;
        // One entry per stats path, in order; nothing where the file could not be read.
        QList<std::optional<StatsSample>> stats;
    };

    static Snapshot read(const QString& ledgerFile, const QStringList& statsPaths);
    // One .stats file; nothing when it is missing, unreadable, too large or not UTF-8.
    static std::optional<StatsSample> readStats(const QString& path);
};
