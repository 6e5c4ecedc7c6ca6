#include "shared/SyncTransfer.h"

#include "shared/Iso8601.h"
#include "shared/JsonReader.h"

QString SyncTransfer::rawValue(Direction direction) {
    return direction == Direction::upload ? QStringLiteral("upload") : QStringLiteral("download");
}

std::optional<SyncTransfer::Direction> SyncTransfer::directionFromRaw(const QString& raw) {
    if (raw == QLatin1String("upload"))
        return Direction::upload;
    if (raw == QLatin1String("download"))
        return Direction::download;
    return std::nullopt;
}

QJsonObject SyncTransfer::toJson() const {
    return QJsonObject{{"id", id},
                       {"path", path},
                       {"bytesTransferred", bytesTransferred},
                       {"totalBytes", totalBytes},
                       {"direction", rawValue(direction)},
                       {"startedAt", Iso8601::format(startedAt)}};
}

SyncTransfer SyncTransfer::fromJson(const QJsonObject& object) {
    const JsonReader r(object, QStringLiteral("transfer"));
    SyncTransfer t;
    t.id = r.string("id");
    t.path = r.string("path");
    t.bytesTransferred = r.int64("bytesTransferred");
    t.totalBytes = r.int64("totalBytes");
    const QString direction = r.string("direction");
    const auto parsed = directionFromRaw(direction);
    if (!parsed)
        throw DecodingError(QStringLiteral("transfer: unknown direction \"%1\"").arg(direction));
    t.direction = *parsed;
    const QString started = r.string("startedAt");
    const auto time = Iso8601::parse(started);
    if (!time)
        throw DecodingError(
            QStringLiteral("transfer: \"startedAt\" is not a date: %1").arg(started));
    t.startedAt = *time;
    return t;
}
