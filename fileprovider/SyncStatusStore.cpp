#include "fileprovider/SyncStatusStore.h"

#include "platform/AtomicFile.h"
#include "shared/SyncStatus.h"

#include <QDir>
#include <QFileInfo>

SyncStatusStore::SyncStatusStore(QString file, Clock clock)
    : file_(std::move(file)), clock_(std::move(clock)), queue_(kQueueLabel) {
    if (!clock_)
        clock_ = [] { return QDateTime::currentDateTimeUtc(); };
}

SyncStatusStore& SyncStatusStore::shared() {
    static SyncStatusStore store;
    return store;
}

QString SyncStatusStore::fileURL() const {
    const QString file = file_.isEmpty() ? SyncStatus::ledgerFile() : file_;
    QDir().mkpath(QFileInfo(file).absolutePath());
    return file;
}

void SyncStatusStore::flushLocked() {
    const SyncStatus status{transfers_.values(), clock_(), activeEnumerations_};
    // A failed write keeps the state; the next change writes all of it again.
    AtomicFile::write(fileURL(), status.toJson());
}

void SyncStatusStore::begin(const QString& id, const QString& path, qint64 totalBytes,
                            SyncTransfer::Direction direction) {
    queue_.async([=, this] {
        transfers_.insert(id, SyncTransfer{id, path, 0, totalBytes, direction, clock_()});
        flushLocked();
    });
}

void SyncStatusStore::update(const QString& id, qint64 bytesTransferred) {
    queue_.async([=, this] {
        const auto it = transfers_.find(id);
        if (it == transfers_.end())
            return;
        it->bytesTransferred = bytesTransferred;
        flushLocked();
    });
}

void SyncStatusStore::finish(const QString& id) {
    queue_.async([=, this] {
        transfers_.remove(id);
        flushLocked();
    });
}

void SyncStatusStore::beginEnumeration() {
    queue_.async([this] {
        ++activeEnumerations_;
        flushLocked();
    });
}

void SyncStatusStore::endEnumeration() {
    queue_.async([this] {
        if (activeEnumerations_ > 0)
            --activeEnumerations_;
        flushLocked();
    });
}

bool SyncStatusStore::hasActiveTransfersUnder(const QString& parentPath) {
    bool found = false;
    queue_.sync([&] {
        if (transfers_.isEmpty())
            return;
        if (parentPath.isEmpty() || parentPath == QLatin1String("/")) {
            found = true;
            return;
        }
        const QString prefix = parentPath.endsWith('/') ? parentPath : parentPath + '/';
        for (const SyncTransfer& t : std::as_const(transfers_)) {
            if (t.path.startsWith(prefix)) {
                found = true;
                return;
            }
        }
    });
    return found;
}

void SyncStatusStore::waitUntilWritten() {
    queue_.sync([] {});
}
