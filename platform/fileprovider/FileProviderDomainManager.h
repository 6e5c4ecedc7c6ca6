#pragma once

#include "platform/fileprovider/FileProviderDomain.h"

#include <QString>
#include <QStringList>
#include <optional>

// The handle on one registered domain. Enumerator signals are recorded as a generation per
// container in the domain's signals file; the extension's host lists a container again when
// its generation moves.
class FileProviderDomainManager {
public:
    FileProviderDomainManager(FileProviderDomain domain, QString stateDir);

    const FileProviderDomain& domain() const { return domain_; }

    // Asks for a change enumeration of the container soon. Returns false when the signal could
    // not be recorded.
    bool signalEnumerator(const QString& containerIdentifier);
    // The generation last signalled for the container; 0 when never signalled.
    qint64 signalGeneration(const QString& containerIdentifier) const;

    // Where the file manager shows the item: the domain's root folder for the root container,
    // the root joined with the item's server path for any absolute path; else nothing.
    std::optional<QString> userVisiblePath(const QString& itemIdentifier) const;

    // Drops the local copy of the item (a folder's with everything in it; the root's contents,
    // the root itself stays) from the domain's root; an item with no local copy succeeds. Throws
    // FileProviderError: no-such-item for an identifier that names no place in the domain, a file
    // error when the copy stays.
    void evictItem(const QString& itemIdentifier);
    // Asks the system to download the whole item into the domain's root soon. Throws
    // FileProviderError: no-such-item for an identifier that names no place in the domain, a
    // file error when the request cannot be kept.
    void requestDownload(const QString& itemIdentifier);
    // The system's side: the download requests not yet served, oldest first, now cleared.
    QStringList takeDownloadRequests();

    QString signalsFile() const;
    QString downloadRequestsFile() const;
    // The folder where the system keeps what it knows about the domain.
    QString stateDir() const { return stateDir_; }

private:
    FileProviderDomain domain_;
    QString stateDir_;
};
