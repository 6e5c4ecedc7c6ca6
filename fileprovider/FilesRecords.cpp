#include "fileprovider/FilesRecords.h"

#include "fileprovider/DateText.h"
#include "fileprovider/JsonScanner.h"
#include "shared/JsonReader.h"

#include <QJsonArray>

namespace {

const QString kEntry = QStringLiteral("Entry");
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

namespace {

const QString kFile = QStringLiteral("file");
const QString kDirectory = QStringLiteral("directory");

// Folder listings grow with the folder, so they are read in one pass without a tree, and
// the few texts that repeat on every entry are shared instead of copied.
Entry readEntry(JsonScanner& s, const QDateTime& now, QString& lastMime) {
    using Kind = JsonScanner::Kind;
    const Kind kind = s.peek();
    if (kind != Kind::object)
        throw DecodingError(QStringLiteral("ListResponse: an entry is %1, not an object")
                                .arg(JsonScanner::nameOf(kind)));
    Entry e;
    bool name = false, type = false, size = false, modified = false;
    s.readObject([&](QByteArrayView key) {
        const auto text = [&](const char* field) {
            const Kind k = s.peek();
            if (k != Kind::string)
                JsonScanner::wrongType(kEntry, field, "a string", k);
            return s.readStringBytes();
        };
        if (key == "name") {
            e.name = QString::fromUtf8(text("name"));
            name = true;
        } else if (key == "type") {
            const QByteArray t = text("type");
            e.type = t == "file" ? kFile : t == "directory" ? kDirectory : QString::fromUtf8(t);
            type = true;
        } else if (key == "size") {
            const Kind k = s.peek();
            const auto value = k == Kind::number ? s.readInteger() : std::nullopt;
            if (!value)
                JsonScanner::wrongType(kEntry, "size", "a 64-bit integer", k);
            e.size = *value;
            size = true;
        } else if (key == "modified_at") {
            const auto msecs = DateText::parse(QByteArrayView(text("modified_at")));
            e.modifiedAt = msecs ? QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC) : now;
            modified = true;
        } else if (key == "mime_type") {
            const Kind k = s.peek();
            if (k == Kind::null) {
                s.skipValue();
                e.mimeType.reset();
                return;
            }
            const QString mime = QString::fromUtf8(text("mime_type"));
            if (mime != lastMime)
                lastMime = mime;
            e.mimeType = lastMime;
        } else {
            s.skipValue();
        }
    });
    if (!name)
        JsonScanner::missingKey(kEntry, "name");
    if (!type)
        JsonScanner::missingKey(kEntry, "type");
    if (!size)
        JsonScanner::missingKey(kEntry, "size");
    if (!modified)
        JsonScanner::missingKey(kEntry, "modified_at");
    return e;
}

} // namespace

ListResponse ListResponse::fromJson(const QByteArray& bytes) {
    using Kind = JsonScanner::Kind;
    static const QString record = QStringLiteral("ListResponse");
    JsonScanner s(bytes);
    if (s.peek() != Kind::object)
        throw DecodingError(QStringLiteral("expected a JSON object at the top level"));
    ListResponse response;
    bool path = false, entries = false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QString lastMime;
    s.readObject([&](QByteArrayView key) {
        if (key == "path") {
            const Kind k = s.peek();
            if (k != Kind::string)
                JsonScanner::wrongType(record, "path", "a string", k);
            response.path = s.readString();
            path = true;
        } else if (key == "entries") {
            const Kind k = s.peek();
            if (k != Kind::array)
                JsonScanner::wrongType(record, "entries", "an array", k);
            response.entries.clear();
            s.readArray([&] { response.entries.append(readEntry(s, now, lastMime)); });
            entries = true;
        } else {
            s.skipValue();
        }
    });
    s.expectEnd();
    if (!path)
        JsonScanner::missingKey(record, "path");
    if (!entries)
        JsonScanner::missingKey(record, "entries");
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
