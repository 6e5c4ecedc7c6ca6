#pragma once

#include "fileprovider/FilesRecords.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

// The last listing of every enumerated folder, one JSON file per folder in the extension's
// data folder, so a change enumeration can tell what changed since. No state in memory.
namespace ListingCache {

struct CachedEntry {
    QString name;
    QString type;
    qint64 size = 0;
    QDateTime modifiedAt; // the file keeps whole seconds

    static CachedEntry of(const Entry& entry);
    bool operator==(const CachedEntry&) const = default;
};

struct CachedListing {
    QList<CachedEntry> entries;
    QString token; // written for inspection, never read back for decisions

    QByteArray toJson() const;
    // Throws DecodingError.
    static CachedListing fromJson(const QByteArray& bytes);
};

struct Diff {
    QStringList deleted;
    QStringList added;
    QStringList modified;
};

// The cache folder, created when missing (errors ignored).
QString dir();
// "listing-" + the path with "/" turned into "_" + ".json"; "_" and "%" in the path are
// escaped first so that two folders never share a file, and a name too long for the disk
// becomes a digest of the path.
QString fileName(const QString& containerPath);
QString fileFor(const QString& containerPath);

// Replaces the folder's file atomically; failures are ignored.
void save(const QList<Entry>& entries, const QString& token, const QString& containerPath);
// The previous listing; nothing when the file is missing or does not decode.
std::optional<CachedListing> load(const QString& containerPath);

// Names gone, names new, and names whose size or type differ or whose modification times lie
// more than one second apart.
Diff diff(const QList<CachedEntry>& old, const QList<CachedEntry>& current);

} // namespace ListingCache
