#pragma once

#include "platform/fileprovider/FileProviderItemProtocol.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

using FileProviderItemPtr = std::shared_ptr<const FileProviderItemProtocol>;
using FileProviderPage = QByteArray;
using FileProviderSyncAnchor = QByteArray;

// Receives one item enumeration. An enumeration ends with exactly one finish call.
class FileProviderEnumerationObserver {
public:
    virtual ~FileProviderEnumerationObserver() = default;
    virtual void didEnumerateItems(const QList<FileProviderItemPtr>& items) = 0;
    // No next page: the enumeration is complete.
    virtual void finishEnumeratingUpToPage(const std::optional<FileProviderPage>& nextPage) = 0;
    virtual void finishEnumeratingWithError(std::exception_ptr error) = 0;
};

// Receives one change enumeration. It ends with exactly one finish call.
class FileProviderChangeObserver {
public:
    virtual ~FileProviderChangeObserver() = default;
    virtual void didUpdateItems(const QList<FileProviderItemPtr>& items) = 0;
    virtual void didDeleteItemsWithIdentifiers(const QStringList& identifiers) = 0;
    virtual void finishEnumeratingChangesUpToSyncAnchor(const FileProviderSyncAnchor& anchor,
                                                        bool moreComing) = 0;
    virtual void finishEnumeratingWithError(std::exception_ptr error) = 0;
};

// The enumerator protocol: the extension answers for one container. Observers are shared so
// an enumeration may outlive the call that started it.
class FileProviderEnumeratorProtocol {
public:
    virtual ~FileProviderEnumeratorProtocol() = default;
    virtual void enumerateItems(std::shared_ptr<FileProviderEnumerationObserver> observer,
                                const FileProviderPage& page) = 0;
    virtual void enumerateChanges(std::shared_ptr<FileProviderChangeObserver> observer,
                                  const FileProviderSyncAnchor& anchor) = 0;
    virtual void currentSyncAnchor(std::function<void(FileProviderSyncAnchor)> completion) = 0;
    virtual void invalidate() = 0;
};
