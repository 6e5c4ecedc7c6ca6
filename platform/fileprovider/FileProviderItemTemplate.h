#pragma once

#include "platform/fileprovider/FileProviderItemProtocol.h"

// An item the system describes to the extension: the template of a new item, or an existing
// item with the fields the user just changed. Only the fields the system knows are set.
class FileProviderItemTemplate : public FileProviderItemProtocol {
public:
    struct Fields {
        QString itemIdentifier;
        QString parentItemIdentifier;
        QString filename;
        QString contentType;
        std::optional<qint64> documentSize;
        QDateTime contentModificationDate;
    };

    explicit FileProviderItemTemplate(Fields fields) : f_(std::move(fields)) {}

    QString itemIdentifier() const override { return f_.itemIdentifier; }
    QString parentItemIdentifier() const override { return f_.parentItemIdentifier; }
    QString filename() const override { return f_.filename; }
    QString contentType() const override { return f_.contentType; }
    quint64 capabilities() const override { return 0; }
    std::optional<qint64> documentSize() const override { return f_.documentSize; }
    QDateTime contentModificationDate() const override { return f_.contentModificationDate; }
    QDateTime creationDate() const override { return f_.contentModificationDate; }
    FileProviderContentPolicy contentPolicy() const override {
        return FileProviderContentPolicy::inherited;
    }
    FileProviderItemVersion itemVersion() const override { return {}; }

private:
    Fields f_;
};
