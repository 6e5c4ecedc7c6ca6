#include "fileprovider/FilesRecords.h"

#include "shared/JsonReader.h"

#include <QRegularExpression>

namespace ServerDate {

QDateTime parse(const QString& text, const QDateTime& now) {
    static const QRegularExpression internet(QStringLiteral(
        "^(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2})(?:\\.(\\d+))?(Z|[+-]\\d{2}:?\\d{2})$"));
    const auto match = internet.match(text);
    if (!match.hasMatch())
        return now;
    // Milliseconds are what a date keeps here; longer fractions are cut, shorter ones padded.
    const QString fraction = match.captured(2).isEmpty()
                                 ? QString()
                                 : '.' + match.captured(2).left(3).leftJustified(3, '0');
    QString zone = match.captured(3);
    if (zone.size() == 5)
        zone.insert(3, ':');
    const QDateTime time = QDateTime::fromString(
        match.captured(1) + fraction + zone, fraction.isEmpty() ? Qt::ISODate : Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC() : now;
}

} // namespace ServerDate

bool Entry::hasUsableName() const {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains('/') && !name.contains(QChar(0));
}

Entry Entry::fromJson(const QJsonObject& object, const QDateTime& now) {
    const JsonReader r(object, QStringLiteral("Entry"));
    Entry e;
    e.name = r.string("name");
    e.type = r.string("type");
    e.size = r.int64("size");
    e.modifiedAt = ServerDate::parse(r.string("modified_at"), now);
    e.mimeType = r.optionalString("mime_type");
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
