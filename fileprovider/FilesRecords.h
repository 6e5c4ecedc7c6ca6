#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The files API's answers. Decoding is strict (a missing key or a value of the wrong type
// throws DecodingError); unknown keys are ignored.

// When a listed item last changed: an internet date-time with or without fractional
// seconds; any other text means now. (A value that is not text is a decoding failure.)
namespace ServerDate {
QDateTime parse(const QString& text, const QDateTime& now);
} // namespace ServerDate

// One child of a listed folder.
struct Entry {
    QString name;
    QString type; // "directory" for a folder; anything else is a file
    qint64 size = 0;
    QDateTime modifiedAt;
    std::optional<QString> mimeType;

    bool isDirectory() const { return type == QLatin1String("directory"); }
    // Whether the name can stand as one piece of a path: not empty, ".", "..", and without
    // "/" or NUL. Other names would make the item's path point somewhere else.
    bool hasUsableName() const;
};

struct ListResponse {
    QList<Entry> entries;
    QString path;

    static ListResponse fromJson(const QByteArray& bytes);
};

struct PresignResponse {
    QString url;
    QString method;
    QString path;

    static PresignResponse fromJson(const QByteArray& bytes);
};

struct DirectPresignResponse {
    QString uploadId;
    QString url;
    QString key;

    static DirectPresignResponse fromJson(const QByteArray& bytes);
};

struct DirectMultipartInitResponse {
    QString uploadId;
    QString s3UploadId;
    QString key;

    static DirectMultipartInitResponse fromJson(const QByteArray& bytes);
};

// One uploaded part for the multipart completion: the ETag exactly as the store sent it.
struct PartResult {
    int partNumber = 0;
    QString etag;
};

// Answers whose content is not used but whose shape is checked: a JSON object whose values
// are all text (an empty object qualifies).
namespace TextObject {
void check(const QByteArray& bytes);
} // namespace TextObject
