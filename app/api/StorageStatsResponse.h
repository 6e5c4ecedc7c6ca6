#pragma once

#include <QJsonObject>

struct StorageStatsResponse {
    qint64 usedBytes = 0;
    qint64 fileCount = 0;
    qint64 dirCount = 0;

    static StorageStatsResponse fromJson(const QJsonObject& o);
    QJsonObject toJson() const;
    bool operator==(const StorageStatsResponse&) const = default;
};
