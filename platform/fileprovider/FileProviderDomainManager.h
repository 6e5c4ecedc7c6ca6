#pragma once

#include "platform/fileprovider/FileProviderDomain.h"

#include <QString>
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

    QString signalsFile() const;
    // The folder where the system keeps what it knows about the domain.
    QString stateDir() const { return stateDir_; }

private:
    FileProviderDomain domain_;
    QString stateDir_;
};
