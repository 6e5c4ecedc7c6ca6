#pragma once

#include "fileprovider/FilesRecords.h"
#include "platform/fileprovider/FileProviderItemProtocol.h"

#include <memory>

// One item as the framework sees it, built from four fields; everything else derives from
// them. An item's identifier is its server path ("/" is the root container). Immutable.
class FileProviderItem : public FileProviderItemProtocol {
public:
    // The capability set offered for every item: reading, writing, reparenting, renaming and
    // deleting (47).
    static constexpr quint64 kCapabilities =
        FileProviderCapability::kReading | FileProviderCapability::kWriting |
        FileProviderCapability::kReparenting | FileProviderCapability::kRenaming |
        FileProviderCapability::kDeleting;

    FileProviderItem(QString path, bool isDir, qint64 size, QDateTime modified);

    // The server path an identifier stands for: "/" for the root container, the two special
    // containers' own texts, any other identifier unchanged.
    static QString path(const QString& identifier);
    // The child's item of a listing entry of the folder parentPath.
    static std::shared_ptr<FileProviderItem> from(const Entry& entry, const QString& parentPath);
    // The child path rule: "/" + name below the root, parent + "/" + name elsewhere.
    static QString childPath(const QString& parentPath, const QString& name);
    // The root item: no path, a folder, modified now.
    static std::shared_ptr<FileProviderItem> root();
    // The type of a file name's extension, generic data when there is none.
    static QString contentTypeForFilename(const QString& filename);

    const QString& serverPath() const { return path_; }
    bool isDir() const { return isDir_; }
    qint64 size() const { return size_; }
    const QDateTime& modified() const { return modified_; }

    QString itemIdentifier() const override;
    QString parentItemIdentifier() const override;
    QString filename() const override;
    QString contentType() const override;
    quint64 capabilities() const override { return kCapabilities; }
    std::optional<qint64> documentSize() const override;
    QDateTime contentModificationDate() const override { return modified_; }
    QDateTime creationDate() const override { return modified_; }
    // Read from the pin store at every call, so unpinning shows at once.
    FileProviderContentPolicy contentPolicy() const override;
    FileProviderItemVersion itemVersion() const override;

private:
    QString path_;
    bool isDir_;
    qint64 size_;
    QDateTime modified_;
};
