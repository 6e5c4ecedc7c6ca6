#include "fileprovider/FileProviderItem.h"

#include "fileprovider/PinStore.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"

#include <QMimeDatabase>

namespace {

bool isRootPath(const QString& path) {
    return path.isEmpty() || path == QLatin1String("/");
}

QString lastComponent(const QString& path) {
    return path.section('/', -1);
}

} // namespace

FileProviderItem::FileProviderItem(QString path, bool isDir, qint64 size, QDateTime modified)
    : path_(std::move(path)), isDir_(isDir), size_(size), modified_(std::move(modified)) {}

QString FileProviderItem::path(const QString& identifier) {
    if (identifier == FileProviderItemIdentifier::kRootContainer)
        return QStringLiteral("/");
    return identifier;
}

QString FileProviderItem::childPath(const QString& parentPath, const QString& name) {
    const QString prefix = parentPath == QLatin1String("/") ? QString() : parentPath;
    return prefix + '/' + name;
}

std::shared_ptr<FileProviderItem> FileProviderItem::from(const Entry& entry,
                                                         const QString& parentPath) {
    return std::make_shared<FileProviderItem>(childPath(parentPath, entry.name),
                                              entry.isDirectory(), entry.size, entry.modifiedAt);
}

std::shared_ptr<FileProviderItem> FileProviderItem::root() {
    return std::make_shared<FileProviderItem>(QString(), true, 0, QDateTime::currentDateTimeUtc());
}

QString FileProviderItem::contentTypeForFilename(const QString& filename) {
    // Only what follows the last dot counts ("archive.tar.gz" is a "gz"); a leading dot alone
    // makes no extension.
    const qsizetype dot = filename.lastIndexOf('.');
    if (dot <= 0 || dot == filename.size() - 1)
        return FileProviderContentType::kData;
    static const QMimeDatabase types;
    const QMimeType type =
        types.mimeTypeForFile("x" + filename.mid(dot), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || type.name().startsWith(QLatin1String("inode/")))
        return FileProviderContentType::kData;
    return type.name();
}

QString FileProviderItem::itemIdentifier() const {
    return isRootPath(path_) ? FileProviderItemIdentifier::kRootContainer : path_;
}

QString FileProviderItem::parentItemIdentifier() const {
    if (isRootPath(path_))
        return FileProviderItemIdentifier::kRootContainer;
    const qsizetype slash = path_.lastIndexOf('/');
    const QString parent = slash <= 0 ? QString() : path_.left(slash);
    return isRootPath(parent) ? FileProviderItemIdentifier::kRootContainer : parent;
}

QString FileProviderItem::filename() const {
    return isRootPath(path_) ? QStringLiteral("Kelvane") : lastComponent(path_);
}

QString FileProviderItem::contentType() const {
    return isDir_ ? FileProviderContentType::kFolder : contentTypeForFilename(filename());
}

std::optional<qint64> FileProviderItem::documentSize() const {
    if (isDir_)
        return std::nullopt;
    return size_;
}

FileProviderContentPolicy FileProviderItem::contentPolicy() const {
    if (!isDir_ && PinStore::isPinned(path_))
        return FileProviderContentPolicy::downloadEagerlyAndKeepDownloaded;
    return FileProviderContentPolicy::inherited;
}

FileProviderItemVersion FileProviderItem::itemVersion() const {
    const QByteArray version =
        QByteArray::number(modified_.toSecsSinceEpoch()) + '-' + QByteArray::number(size_);
    return {version, version};
}
