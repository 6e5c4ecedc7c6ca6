#pragma once

#include "platform/fileprovider/FileProviderEnumeration.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"

#include <QHash>
#include <QList>
#include <QTemporaryDir>
#include <optional>

// The parts of items the system has fetched, as it keeps them between reads: one full-size
// file per item in a folder of its own, with the ranges that hold the item's bytes. A new
// version of an item drops what was kept of the old one. Main thread only.
class HostContentCache {
public:
    HostContentCache();

    struct Hit {
        QString file;
        FileProviderItemPtr item;
    };
    // The kept file and item when every byte of [location, location + length) is kept (a
    // range reaching past the item's end counts up to the end); nothing otherwise.
    std::optional<Hit> covering(const QString& identifier, FileProviderRange range) const;
    // Takes over what a partial fetch handed back (the file is moved or copied in and then
    // gone) and returns the item's kept file; nothing, with the reason, when it cannot.
    std::optional<QString> add(const QString& identifier, FileProviderItemPtr item,
                               const QString& fetchedFile, FileProviderRange fetched,
                               QString* error);
    // The kept ranges of an item, merged and in order.
    QList<FileProviderRange> ranges(const QString& identifier) const;

private:
    struct Kept {
        FileProviderItemPtr item;
        qint64 size = 0;
        QString file;
        QList<FileProviderRange> ranges;
    };
    static QList<FileProviderRange> merged(QList<FileProviderRange> ranges);

    QTemporaryDir dir_;
    QHash<QString, Kept> items_;
    int nextFile_ = 0;
};
