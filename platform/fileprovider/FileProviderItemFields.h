#pragma once

#include "platform/fileprovider/FileProviderItemProtocol.h"

#include <QJsonObject>

// Everything the framework takes from one item, read once, in the forms the host prints.
struct FileProviderItemFields {
    QString itemIdentifier;
    QString parentItemIdentifier;
    QString filename;
    QString contentType;
    quint64 capabilities = 0;
    std::optional<qint64> documentSize;
    QDateTime contentModificationDate;
    QDateTime creationDate;
    FileProviderContentPolicy contentPolicy = FileProviderContentPolicy::inherited;
    FileProviderItemVersion itemVersion;

    static FileProviderItemFields of(const FileProviderItemProtocol& item);

    bool isFolder() const { return contentType == FileProviderContentType::kFolder; }
    QJsonObject toJson() const;
    // One line: kind, size ("-" for folders), modification time and the given name column,
    // separated by tabs.
    QString line(const QString& nameColumn) const;
    // "key: value" lines in a fixed order.
    QStringList describe() const;
};
