#include "shared/SyncStatus.h"

#include "platform/Paths.h"
#include "shared/Identifiers.h"
#include "shared/Iso8601.h"
#include "shared/JsonReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

QDateTime SyncStatus::distantPast() {
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

SyncStatus SyncStatus::empty() {
    return SyncStatus{{}, distantPast(), 0};
}

bool SyncStatus::isIdle() const {
    return transfers.isEmpty() && activeEnumerations < 1;
}

qsizetype SyncStatus::count(SyncTransfer::Direction direction) const {
    return std::count_if(transfers.begin(), transfers.end(),
                         [direction](const SyncTransfer& t) { return t.direction == direction; });
}

QByteArray SyncStatus::toJson() const {
    QJsonArray array;
    for (const SyncTransfer& t : transfers)
        array.append(t.toJson());
    const QJsonObject o{{"transfers", array},
                        {"updatedAt", Iso8601::format(updatedAt)},
                        {"activeEnumerations", activeEnumerations}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

SyncStatus SyncStatus::fromJson(const QByteArray& bytes) {
    const QJsonObject object = JsonReader::parseObject(bytes);
    const JsonReader r(object, QStringLiteral("sync-status.json"));
    SyncStatus status;
    const QJsonValue transfers = object.value("transfers");
    if (!transfers.isArray())
        throw DecodingError(QStringLiteral("sync-status.json: key \"transfers\": expected an "
                                           "array, found ") +
                            jsonTypeName(transfers));
    for (const QJsonValue& v : transfers.toArray()) {
        if (!v.isObject())
            throw DecodingError(QStringLiteral("sync-status.json: a transfer is not an object"));
        status.transfers.append(SyncTransfer::fromJson(v.toObject()));
    }
    const QString updated = r.string("updatedAt");
    const auto time = Iso8601::parse(updated);
    if (!time)
        throw DecodingError(QStringLiteral("sync-status.json: \"updatedAt\" is not a date: ") +
                            updated);
    status.updatedAt = *time;
    status.activeEnumerations = r.int64("activeEnumerations");
    return status;
}

std::optional<SyncStatus> SyncStatus::load(const QString& file) {
    return loadJsonFile<SyncStatus>(file);
}

QString SyncStatus::ledgerFile() {
    return Paths::extensionSupportDir(Identifiers::kFileProvider) +
           QStringLiteral("/sync-status.json");
}
