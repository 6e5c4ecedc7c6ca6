#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <optional>

// One transfer in progress, as the extension records it in the sync-status ledger.
struct SyncTransfer {
    enum class Direction { upload, download };

    QString id;
    QString path;
    qint64 bytesTransferred = 0;
    qint64 totalBytes = 0;
    Direction direction = Direction::upload;
    QDateTime startedAt;

    QJsonObject toJson() const;
    // Every key is required; throws DecodingError otherwise.
    static SyncTransfer fromJson(const QJsonObject& object);

    static QString rawValue(Direction direction);
    static std::optional<Direction> directionFromRaw(const QString& raw);

    bool operator==(const SyncTransfer&) const = default;
};
