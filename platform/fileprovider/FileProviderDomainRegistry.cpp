#include "platform/fileprovider/FileProviderDomainRegistry.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

std::optional<qsizetype> indexOf(const QList<FileProviderDomain>& list, const QString& id) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).identifier == id)
            return i;
    }
    return std::nullopt;
}

} // namespace

FileProviderDomainRegistry::FileProviderDomainRegistry(QString file) : file_(std::move(file)) {}

QString FileProviderDomainRegistry::file() const {
    return file_.isEmpty() ? Paths::fileProviderDomainsFile() : file_;
}

QList<FileProviderDomain> FileProviderDomainRegistry::domains() {
    QFile f(file());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray array =
        QJsonDocument::fromJson(f.readAll()).object().value("domains").toArray();
    QList<FileProviderDomain> list;
    for (const QJsonValue& v : array) {
        if (auto domain = FileProviderDomain::fromJson(v.toObject()))
            list.append(*domain);
    }
    return list;
}

void FileProviderDomainRegistry::save(const QList<FileProviderDomain>& list) {
    QJsonArray array;
    for (const FileProviderDomain& d : list)
        array.append(d.toJson());
    const QByteArray bytes = QJsonDocument(QJsonObject{{"domains", array}}).toJson();
    if (!AtomicFile::write(file(), bytes))
        throw FileProviderError(FileProviderError::kFileError,
                                QStringLiteral("The domain list could not be written to %1.")
                                    .arg(QDir::toNativeSeparators(file())));
}

void FileProviderDomainRegistry::addDomain(const FileProviderDomain& domain) {
    if (domain.identifier.isEmpty())
        throw FileProviderError(FileProviderError::kProviderNotFound,
                                QStringLiteral("A domain needs an identifier."));
    QList<FileProviderDomain> list = domains();
    if (const auto i = indexOf(list, domain.identifier))
        list[*i] = domain;
    else
        list.append(domain);
    save(list);
    // The folder the user browses exists from registration on, as it does on the system.
    QDir().mkpath(Paths::cloudStorageRoot());
}

void FileProviderDomainRegistry::removeDomain(const FileProviderDomain& domain) {
    QList<FileProviderDomain> list = domains();
    const auto i = indexOf(list, domain.identifier);
    if (!i)
        return;
    list.removeAt(*i);
    save(list);
}

std::unique_ptr<FileProviderDomainManager>
FileProviderDomainRegistry::managerForDomain(const FileProviderDomain& domain) {
    const QList<FileProviderDomain> list = domains();
    const auto i = indexOf(list, domain.identifier);
    if (!i)
        return nullptr;
    const QString stateDir = QFileInfo(file()).absolutePath() + '/' + domain.identifier;
    return std::make_unique<FileProviderDomainManager>(list.at(*i), stateDir);
}
