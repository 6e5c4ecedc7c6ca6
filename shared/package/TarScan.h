#pragma once

#include <QString>

// Reads a downloaded .tar.gz from end to end, without writing anything, and says whether
// tar may unpack it: every entry a plain file, folder, hard link to an earlier file, or
// symbolic link that stays inside; no absolute name, no "..", no name twice, nothing written
// through a link, no set-id bits; and the whole within the limits, so a tar bomb is refused
// from its headers before a byte lands on disk. Blocking: run it on a worker.
namespace TarScan {

struct Limits {
    qint64 maxEntries = 20'000;
    qint64 maxBytes = qint64(2) << 30; // the files' sizes added up
    int maxDepth = 32;                 // folders in one name
    qint64 maxNameBytes = 1024;
    qint64 maxTrailingBytes = 1 << 20; // inflated bytes after the end marker
};

struct Result {
    bool ok = false;
    QString problem; // why it was refused, for the log
    qint64 entries = 0;
    qint64 bytes = 0;
};

Result scan(const QString& archive, const Limits& limits = {});

} // namespace TarScan
