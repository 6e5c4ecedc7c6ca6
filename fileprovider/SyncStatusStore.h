#pragma once

#include "fileprovider/SerialQueue.h"
#include "shared/SyncTransfer.h"

#include <QDateTime>
#include <QHash>
#include <functional>

// The extension's ledger of transfers in progress and running folder listings. Every change
// rewrites sync-status.json once, atomically, on the store's serial queue; callers never wait
// except for hasActiveTransfersUnder().
class SyncStatusStore {
public:
    using Clock = std::function<QDateTime()>;

    static inline const QString kQueueLabel = QStringLiteral("kelvane.sync-status");

    // An empty file means the ledger in the extension's data folder, resolved at each write.
    explicit SyncStatusStore(QString file = {}, Clock clock = {});

    // The one instance of the extension process.
    static SyncStatusStore& shared();

    void begin(const QString& id, const QString& path, qint64 totalBytes,
               SyncTransfer::Direction direction);
    void update(const QString& id, qint64 bytesTransferred);
    void finish(const QString& id);
    void beginEnumeration();
    void endEnumeration();

    // Whether a transfer runs strictly below the folder; "/" or "" means anywhere. Waits for
    // every change queued before it.
    bool hasActiveTransfersUnder(const QString& parentPath);
    // Waits until every change queued so far is written.
    void waitUntilWritten();

private:
    QString fileURL() const;
    void flushLocked();

    QString file_;
    Clock clock_;
    QHash<QString, SyncTransfer> transfers_;
    qint64 activeEnumerations_ = 0;
    // Declared last so its thread ends before the state it touches is destroyed.
    SerialQueue queue_;
};
