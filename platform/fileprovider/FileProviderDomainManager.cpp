#include "platform/fileprovider/FileProviderDomainManager.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"

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

std::optional<QString>
FileProviderDomainManager::userVisiblePath(const QString& itemIdentifier) const {
    const QString root = Paths::cloudStorageRoot();
    if (itemIdentifier == FileProviderItemIdentifier::kRootContainer || itemIdentifier == "/")
        return root;
    if (itemIdentifier.startsWith('/') && !itemIdentifier.split('/').contains(".."))
        return root + itemIdentifier;
    return std::nullopt;
}
