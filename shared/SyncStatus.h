#pragma once

#include "shared/SyncTransfer.h"

#include <QByteArray>
#include <QList>
#include <optional>

// The whole sync-status ledger: what the extension is moving and listing right now. The
// extension writes it after every change; the application polls it.
struct SyncStatus {
    QList<SyncTransfer> transfers;
    QDateTime updatedAt;
    qint64 activeEnumerations = 0;

    // No transfers, no enumerations, written in the distant past.
    static SyncStatus empty();
    static QDateTime distantPast();

    // Nothing in flight: no transfers and no running enumeration.
    bool isIdle() const;
    qsizetype count(SyncTransfer::Direction direction) const;

    // Compact JSON with dates as internet date-time text.
    QByteArray toJson() const;
    // Every key is required; throws DecodingError otherwise.
    static SyncStatus fromJson(const QByteArray& bytes);
    // Nothing when the file is missing, unreadable or does not decode.
    static std::optional<SyncStatus> load(const QString& file);

    // sync-status.json in the file-provider extension's data folder.
    static QString ledgerFile();

    bool operator==(const SyncStatus&) const = default;
};
