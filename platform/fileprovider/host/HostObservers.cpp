#include "platform/fileprovider/host/HostObservers.h"

void ItemCollector::finished() {
    ++finishes_;
    wakeup_->notify();
}

void ItemCollector::didEnumerateItems(const QList<FileProviderItemPtr>& items) {
    std::lock_guard lock(mutex_);
    items_.append(items);
}

void ItemCollector::finishEnumeratingUpToPage(const std::optional<FileProviderPage>& nextPage) {
    std::lock_guard lock(mutex_);
    nextPage_ = nextPage;
    finished();
}

void ItemCollector::finishEnumeratingWithError(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    error_ = error;
    finished();
}

bool ItemCollector::isFinished() const {
    std::lock_guard lock(mutex_);
    return finishes_ > 0;
}

int ItemCollector::finishCount() const {
    std::lock_guard lock(mutex_);
    return finishes_;
}

QList<FileProviderItemPtr> ItemCollector::items() const {
    std::lock_guard lock(mutex_);
    return items_;
}

std::optional<FileProviderPage> ItemCollector::nextPage() const {
    std::lock_guard lock(mutex_);
    return nextPage_;
}

std::exception_ptr ItemCollector::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ChangeCollector::finished() {
    ++finishes_;
    wakeup_->notify();
}

void ChangeCollector::didUpdateItems(const QList<FileProviderItemPtr>& items) {
    std::lock_guard lock(mutex_);
    updated_.append(items);
}

void ChangeCollector::didDeleteItemsWithIdentifiers(const QStringList& identifiers) {
    std::lock_guard lock(mutex_);
    deleted_.append(identifiers);
}

void ChangeCollector::finishEnumeratingChangesUpToSyncAnchor(const FileProviderSyncAnchor& anchor,
                                                             bool moreComing) {
    std::lock_guard lock(mutex_);
    anchor_ = anchor;
    moreComing_ = moreComing;
    finished();
}

void ChangeCollector::finishEnumeratingWithError(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    error_ = error;
    finished();
}

bool ChangeCollector::isFinished() const {
    std::lock_guard lock(mutex_);
    return finishes_ > 0;
}

int ChangeCollector::finishCount() const {
    std::lock_guard lock(mutex_);
    return finishes_;
}

QList<FileProviderItemPtr> ChangeCollector::updated() const {
    std::lock_guard lock(mutex_);
    return updated_;
}

QStringList ChangeCollector::deleted() const {
    std::lock_guard lock(mutex_);
    return deleted_;
}

FileProviderSyncAnchor ChangeCollector::anchor() const {
    std::lock_guard lock(mutex_);
    return anchor_;
}

bool ChangeCollector::moreComing() const {
    std::lock_guard lock(mutex_);
    return moreComing_;
}

std::exception_ptr ChangeCollector::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}
