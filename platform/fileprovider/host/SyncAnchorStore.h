#pragma once

#include "platform/fileprovider/FileProviderEnumeration.h"

#include <QString>
#include <optional>

// The sync anchor the system keeps for each enumerated container of a domain, with the
// enumerator-signal generation it had seen, so repeated host runs continue where the last
// one stopped. One JSON file in the domain's state folder, replaced atomically.
class SyncAnchorStore {
public:
    struct Entry {
        FileProviderSyncAnchor anchor;
        qint64 signalGeneration = 0;
    };

    explicit SyncAnchorStore(QString file) : file_(std::move(file)) {}

    std::optional<Entry> get(const QString& containerIdentifier) const;
    // Returns false when the file could not be written.
    bool set(const QString& containerIdentifier, const Entry& entry);

    const QString& file() const { return file_; }

private:
    QString file_;
};
