#pragma once

#include "platform/fileprovider/FileProviderEnumeration.h"
#include "platform/fileprovider/host/HostWakeup.h"

#include <mutex>

// Collects what an extension reports for one item enumeration, as the system would. A second
// finish is a fault of the extension and is recorded as such.
class ItemCollector : public FileProviderEnumerationObserver {
public:
    explicit ItemCollector(std::shared_ptr<HostWakeup> wakeup) : wakeup_(std::move(wakeup)) {}

    void didEnumerateItems(const QList<FileProviderItemPtr>& items) override;
    void finishEnumeratingUpToPage(const std::optional<FileProviderPage>& nextPage) override;
    void finishEnumeratingWithError(std::exception_ptr error) override;

    bool isFinished() const;
    int finishCount() const;
    QList<FileProviderItemPtr> items() const;
    std::optional<FileProviderPage> nextPage() const;
    std::exception_ptr error() const;

private:
    void finished();

    std::shared_ptr<HostWakeup> wakeup_;
    mutable std::mutex mutex_;
    QList<FileProviderItemPtr> items_;
    std::optional<FileProviderPage> nextPage_;
    std::exception_ptr error_;
    int finishes_ = 0;
};

// Collects one change enumeration.
class ChangeCollector : public FileProviderChangeObserver {
public:
    explicit ChangeCollector(std::shared_ptr<HostWakeup> wakeup) : wakeup_(std::move(wakeup)) {}

    void didUpdateItems(const QList<FileProviderItemPtr>& items) override;
    void didDeleteItemsWithIdentifiers(const QStringList& identifiers) override;
    void finishEnumeratingChangesUpToSyncAnchor(const FileProviderSyncAnchor& anchor,
                                                bool moreComing) override;
    void finishEnumeratingWithError(std::exception_ptr error) override;

    bool isFinished() const;
    int finishCount() const;
    QList<FileProviderItemPtr> updated() const;
    QStringList deleted() const;
    FileProviderSyncAnchor anchor() const;
    bool moreComing() const;
    std::exception_ptr error() const;

private:
    void finished();

    std::shared_ptr<HostWakeup> wakeup_;
    mutable std::mutex mutex_;
    QList<FileProviderItemPtr> updated_;
    QStringList deleted_;
    FileProviderSyncAnchor anchor_;
    bool moreComing_ = false;
    std::exception_ptr error_;
    int finishes_ = 0;
};
