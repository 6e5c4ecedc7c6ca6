#include "platform/fileprovider/FileProviderDomainManager.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject readObject(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

} // namespace

FileProviderDomainManager::FileProviderDomainManager(FileProviderDomain domain, QString stateDir)
    : domain_(std::move(domain)), stateDir_(std::move(stateDir)) {}

QString FileProviderDomainManager::signalsFile() const {
    return stateDir_ + QStringLiteral("/signals.json");
}

bool FileProviderDomainManager::signalEnumerator(const QString& containerIdentifier) {
    QJsonObject generations = readObject(signalsFile());
    const qint64 next = generations.value(containerIdentifier).toInteger() + 1;
    generations.insert(containerIdentifier, next);
    return AtomicFile::write(signalsFile(),
                             QJsonDocument(generations).toJson(QJsonDocument::Compact));
}

qint64 FileProviderDomainManager::signalGeneration(const QString& containerIdentifier) const {
    return readObject(signalsFile()).value(containerIdentifier).toInteger();
}

QString FileProviderDomainManager::downloadRequestsFile() const {
    return stateDir_ + QStringLiteral("/download-requests.json");
}

void FileProviderDomainManager::evictItem(const QString& itemIdentifier) {
    const auto local = userVisiblePath(itemIdentifier);
    if (!local)
        throw FileProviderError::noSuchItem();
    const QFileInfo info(*local);
    if (!info.exists() && !info.isSymLink())
        return;
    bool removed = true;
    if (*local == Paths::cloudStorageRoot()) {
        // The domain's folder stays where the user and the file manager know it; only what
        // was downloaded into it goes.
        const QDir root(*local);
        for (const QFileInfo& child : root.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot))
            removed =
                (child.isDir() && !child.isSymLink() ? QDir(child.filePath()).removeRecursively()
                                                     : QFile::remove(child.filePath())) &&
                removed;
    } else {
        removed = info.isDir() && !info.isSymLink() ? QDir(*local).removeRecursively()
                                                    : QFile::remove(*local);
    }
    if (!removed)
        throw FileProviderError(
            FileProviderError::kFileError,
            QStringLiteral("The local copy of %1 could not be removed.").arg(itemIdentifier));
}

void FileProviderDomainManager::requestDownload(const QString& itemIdentifier) {
    if (!userVisiblePath(itemIdentifier))
        throw FileProviderError::noSuchItem();
    QFile f(downloadRequestsFile());
    QJsonArray pending;
    if (f.open(QIODevice::ReadOnly))
        pending = QJsonDocument::fromJson(f.readAll()).array();
    f.close();
    if (!pending.contains(itemIdentifier))
        pending.append(itemIdentifier);
    if (!AtomicFile::write(downloadRequestsFile(),
                           QJsonDocument(pending).toJson(QJsonDocument::Compact)))
        throw FileProviderError(
            FileProviderError::kFileError,
            QStringLiteral("The download of %1 could not be requested.").arg(itemIdentifier));
}

QStringList FileProviderDomainManager::takeDownloadRequests() {
    QFile f(downloadRequestsFile());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList identifiers;
    for (const QJsonValue& v : QJsonDocument::fromJson(f.readAll()).array()) {
        if (v.isString())
            identifiers.append(v.toString());
    }
    f.close();
    QFile::remove(downloadRequestsFile());
    return identifiers;
}

std::optional<QString>
FileProviderDomainManager::userVisiblePath(const QString& itemIdentifier) const {
    const QString root = Paths::cloudStorageRoot();
    if (itemIdentifier == FileProviderItemIdentifier::kRootContainer || itemIdentifier == "/")
        return root;
    if (itemIdentifier.startsWith('/') && !itemIdentifier.split('/').contains(".."))
        return root + itemIdentifier;
    return std::nullopt;
}
