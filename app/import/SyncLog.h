#pragma once

#include <QString>
#include <optional>

// What an import's log file tells once `juicefs sync` has exited.
namespace SyncLog {

// The last `count` non-empty lines joined with one blank; empty when the file cannot be read.
// Only the end of a long log is read.
QString tail(const QString& path, int count = 3);

// The engine's closing line, "Found: N, skipped: S, copied: C (SIZE)[, …][, failed: F]".
struct Summary {
    qint64 copied = 0;
    qint64 failed = 0;
    // Read back from the printed size, so only as exact as that.
    qint64 approximateBytes = 0;
};
std::optional<Summary> summary(const QString& path);

} // namespace SyncLog
