#pragma once

#include "fileprovider/FilesRecords.h"
#include "platform/fileprovider/FileProviderEnumeration.h"

#include <QCoroTask>

class KelvaneAPI;
class SyncStatusStore;

// Answers the framework for one container by listing it on the server every time. Change
// enumeration compares the listing with the cached one, but only once the invalidation token
// has moved past the anchor the framework holds. Keeps no state between calls; each
// enumeration runs as its own task and finishes its observer exactly once. The API client
// and the ledger must outlive every enumeration started.
class FileProviderEnumerator : public FileProviderEnumeratorProtocol {
public:
    FileProviderEnumerator(QString containerPath, KelvaneAPI& api, SyncStatusStore& ledger);

    const QString& containerPath() const { return containerPath_; }
    // The working set, the trash and other containers of the framework: nothing to serve.
    bool isSkipped() const;

    void enumerateItems(std::shared_ptr<FileProviderEnumerationObserver> observer,
                        const FileProviderPage& page) override;
    void enumerateChanges(std::shared_ptr<FileProviderChangeObserver> observer,
                          const FileProviderSyncAnchor& anchor) override;
    void currentSyncAnchor(std::function<void(FileProviderSyncAnchor)> completion) override;
    void invalidate() override {}

    // The invalidation token's text, "initial" when there is none.
    static QString currentToken();
    static FileProviderSyncAnchor anchorFor(const QString& token);

    struct Listing {
        QList<Entry> entries;
        QString token;
    };
    // Lists the container, drops junk names, and caches the result with the current token.
    static QCoro::Task<Listing> fetchAndCache(QString containerPath, KelvaneAPI& api);

private:
    QString containerPath_;
    KelvaneAPI& api_;
    SyncStatusStore& ledger_;
};
