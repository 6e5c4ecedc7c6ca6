#include "fileprovider/FilesRecords.h"

#include "fileprovider/DateText.h"
#include "shared/JsonReader.h"

#include <QJsonArray>
#include <limits>

namespace {

const QString kEntry = QStringLiteral("Entry");
const QString kName = QStringLiteral("name");
const QString kType = QStringLiteral("type");
const QString kSize = QStringLiteral("size");
const QString kModifiedAt = QStringLiteral("modified_at");
const QString kMimeType = QStringLiteral("mime_type");

// The checks run on every entry of large listings, so the common case avoids the general
// reader; a failing value goes through it for its message.
QString stringOf(const QJsonObject& o, const QString& key) {
    const QJsonValue v = o.value(key);
    if (!v.isString())
        return JsonReader(o, kEntry).string(key);
    return v.toString();
}

qint64 int64Of(const QJsonObject& o, const QString& key) {
    const QJsonValue v = o.value(key);
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 i = v.toInteger(sentinel);
    if (i == sentinel)
        return JsonReader(o, kEntry).int64(key);
    return i;
}

} // namespace

namespace ServerDate {

QDateTime parse(const QString& text, const QDateTime& now) {
    const auto msecs = DateText::parse(text);
    return msecs ? QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC) : now;
}

} // namespace ServerDate

bool Entry::hasUsableName() const {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains('/') && !name.contains(QChar(0));
}

Entry Entry::fromJson(const QJsonObject& object, const QDateTime& now) {
    Entry e;
    e.name = stringOf(object, kName);
    e.type = stringOf(object, kType);
    e.size = int64Of(object, kSize);
    e.modifiedAt = ServerDate::parse(stringOf(object, kModifiedAt), now);
    const QJsonValue mime = object.value(kMimeType);
    if (mime.isString())
        e.mimeType = mime.toString();
    else if (!mime.isUndefined() && !mime.isNull())
        JsonReader(object, kEntry).optionalString(kMimeType);
    return e;
}

ListResponse ListResponse::fromJson(const QByteArray& bytes) {
    const QJsonObject object = JsonReader::parseObject(bytes);
    const JsonReader r(object, QStringLiteral("ListResponse"));
    ListResponse response;
    response.path = r.string("path");
    const QJsonValue entries = object.value("entries");
    if (!entries.isArray())
        throw DecodingError(QStringLiteral("ListResponse: key \"entries\": expected an array, "
                                           "found %1")
                                .arg(jsonTypeName(entries)));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QJsonArray array = entries.toArray();
    response.entries.reserve(array.size());
    for (const QJsonValue& value : array) {
        if (!value.isObject())
            throw DecodingError(QStringLiteral("ListResponse: an entry is %1, not an object")
                                    .arg(jsonTypeName(value)));
        response.entries.append(Entry::fromJson(value.toObject(), now));
    }
    return response;
}

PresignResponse PresignResponse::fromJson(const QByteArray& bytes) {
    const JsonReader r(JsonReader::parseObject(bytes), QStringLiteral("PresignResponse"));
    return {r.string("url"), r.string("method"), r.string("path")};
}

DirectPresignResponse DirectPresignResponse::fromJson(const QByteArray& bytes) {
    const JsonReader r(JsonReader::parseObject(bytes), QStringLiteral("DirectPresignResponse"));
    return {r.string("uploadId"), r.string("url"), r.string("key")};
}

DirectMultipartInitResponse DirectMultipartInitResponse::fromJson(const QByteArray& bytes) {
    const JsonReader r(JsonReader::parseObject(bytes),
                       QStringLiteral("DirectMultipartInitResponse"));
    return {r.string("uploadId"), r.string("s3UploadId"), r.string("key")};
}

namespace TextObject {

void check(const QByteArray& bytes) {
    const QJsonObject object = JsonReader::parseObject(bytes);
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            throw DecodingError(QStringLiteral("key \"%1\": expected a string, found %2")
                                    .arg(it.key(), jsonTypeName(it.value())));
    }
}

} // namespace TextObject
