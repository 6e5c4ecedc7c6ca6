#include "platform/fileprovider/FileProviderItemFields.h"

#include <QStringList>

namespace {

QString utcText(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

} // namespace

FileProviderItemFields FileProviderItemFields::of(const FileProviderItemProtocol& item) {
    return {item.itemIdentifier(),
            item.parentItemIdentifier(),
            item.filename(),
            item.contentType(),
            item.capabilities(),
            item.documentSize(),
            item.contentModificationDate(),
            item.creationDate(),
            item.contentPolicy(),
            item.itemVersion()};
}

QJsonObject FileProviderItemFields::toJson() const {
    QJsonObject o{{"itemIdentifier", itemIdentifier},
                  {"parentItemIdentifier", parentItemIdentifier},
                  {"filename", filename},
                  {"contentType", contentType},
                  {"capabilities", qint64(capabilities)},
                  {"contentModificationDate", utcText(contentModificationDate)},
                  {"creationDate", utcText(creationDate)},
                  {"contentPolicy", int(contentPolicy)},
                  {"contentVersion", QString::fromUtf8(itemVersion.contentVersion)},
                  {"metadataVersion", QString::fromUtf8(itemVersion.metadataVersion)}};
    if (documentSize)
        o.insert("documentSize", *documentSize);
    return o;
}

QString FileProviderItemFields::line(const QString& nameColumn) const {
    return QStringList{isFolder() ? "folder" : "file",
                       documentSize ? QString::number(*documentSize) : QStringLiteral("-"),
                       utcText(contentModificationDate), nameColumn}
        .join('\t');
}

QStringList FileProviderItemFields::describe() const {
    return {"identifier: " + itemIdentifier,
            "parent: " + parentItemIdentifier,
            "filename: " + filename,
            "contentType: " + contentType,
            "capabilities: " + QString::number(capabilities),
            "documentSize: " +
                (documentSize ? QString::number(*documentSize) : QStringLiteral("-")),
            "contentModificationDate: " + utcText(contentModificationDate),
            "creationDate: " + utcText(creationDate),
            "contentPolicy: " + QString::number(int(contentPolicy)),
            "contentVersion: " + QString::fromUtf8(itemVersion.contentVersion),
            "metadataVersion: " + QString::fromUtf8(itemVersion.metadataVersion)};
}
