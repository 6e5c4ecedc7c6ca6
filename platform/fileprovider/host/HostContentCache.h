#pragma once

#include "platform/fileprovider/FileProviderEnumeration.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"

#include <QHash>
#include <QList>
#include <QTemporaryDir>
#include <optional>

// The parts of items the system has fetched, as it keeps them between reads: each fetched
// file as it came (full size, holding its range), so keeping a fetch costs a rename rather
// than a copy of its bytes. A new version of an item drops what was kept of the old one.
// Main thread only.
class HostContentCache {
public:
    HostContentCache();

    // A stretch of an item's bytes and the kept file that holds it at the same offset.
    struct Segment {
        QString file;
        FileProviderRange range;
    };
    // The kept item when every byte of [location, location + length) is kept (a range
    // reaching past the item's end counts up to the end); nothing otherwise.
    FileProviderItemPtr covering(const QString& identifier, FileProviderRange range) const;
    // Takes over what a partial fetch handed back (the file is moved in and then gone);
    // false, with the reason, when it cannot.
    bool add(const QString& identifier, FileProviderItemPtr item, const QString& fetchedFile,
             FileProviderRange fetched, QString* error);
    // The kept ranges of an item, merged and in order.
    QList<FileProviderRange> ranges(const QString& identifier) const;
    // The files to read [from, to) from, in order; they stop where the kept bytes do.
    QList<Segment> segments(const QString& identifier, qint64 from, qint64 to) const;

private:
    struct Kept {
        FileProviderItemPtr item;
        qint64 size = 0;
        QList<Segment> pieces;
    };
    static QList<FileProviderRange> merged(QList<FileProviderRange> ranges);
    static void drop(Kept& kept);

    QTemporaryDir dir_;
    QHash<QString, Kept> items_;
    int nextFile_ = 0;
};
