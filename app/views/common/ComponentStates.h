#pragma once

#include "app/finder/FinderExtensionState.h"
#include "app/update/UpdateState.h"

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <optional>

// What the views read from the updater and the folder importer, as plain values: the views render
// these, and small adapters fill them from the components.

// The updater's state as the popover and the settings show it, with the running build.
struct UpdateCardState {
    enum class Kind { idle, checking, upToDate, available, downloading, installing, failed };
    Kind kind = Kind::idle;
    // For available.
    UpdateRelease release{};
    // For failed.
    QString message{};
    // The running build.
    QString currentVersion{};
    QString currentBuild{};
    bool operator==(const UpdateCardState&) const = default;
};

// The folder import as its card shows it; filled from the importer's state (its kind, the
// running progress or the finished totals, the failure text).
struct ImportCardState {
    enum class Kind { idle, running, finished, failed, cancelled };
    Kind kind = Kind::idle;
    // While running: the counts so far. When finished: copied, failed and copiedBytes are the
    // totals and seconds the time taken.
    qint64 scanned = 0;
    qint64 handled = 0;
    qint64 copied = 0;
    qint64 failed = 0;
    qint64 copiedBytes = 0;
    double rate = 0;
    std::optional<double> eta{};
    bool scanning = false;
    double seconds = 0;
    // For failed.
    QString message{};
    bool operator==(const ImportCardState&) const = default;
};
