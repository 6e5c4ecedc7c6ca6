#include "platform/FileCredentialStore.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

FileCredentialStore::FileCredentialStore(QString file) : file_(std::move(file)) {}

QJsonObject FileCredentialStore::load() const {
    QFile f(file_);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

void FileCredentialStore::store(const QJsonObject& all) const {
    const QString dir = QFileInfo(file_).absolutePath();
    QDir().mkpath(dir);
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    AtomicFile::write(file_, QJsonDocument(all).toJson(QJsonDocument::Compact),
                      AtomicFile::Mode::OwnerOnly);
}

std::optional<QString> FileCredentialStore::get(const QString& service, const QString& account) {
    const QJsonValue v = load().value(service).toObject().value(account);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

void FileCredentialStore::save(const QString& service, const QString& account,
                               const QString& value) {
    QJsonObject all = load();
    QJsonObject items = all.value(service).toObject();
    items.insert(account, value);
    all.insert(service, items);
    store(all);
}

void FileCredentialStore::remove(const QString& service, const QString& account) {
    QJsonObject all = load();
    QJsonObject items = all.value(service).toObject();
    if (!items.contains(account))
        return;
    items.remove(account);
    all.insert(service, items);
    store(all);
}
