#include "app/api/StorageStatsResponse.h"

#include "shared/JsonReader.h"

StorageStatsResponse StorageStatsResponse::fromJson(const QJsonObject& o) {
    const JsonReader r(o, QStringLiteral("storage statistics"));
    return StorageStatsResponse{r.int64("used_bytes"), r.int64("file_count"), r.int64("dir_count")};
}

QJsonObject StorageStatsResponse::toJson() const {
    return {{"used_bytes", usedBytes}, {"file_count", fileCount}, {"dir_count", dirCount}};
}
