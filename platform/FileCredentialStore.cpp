#include "platform/FileCredentialStore.h"

#include "platform/AtomicFile.h"
#include "platform/Logging.h"
#include "platform/WriteError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

FileCredentialStore::FileCredentialStore(QString file) : file_(std::move(file)) {}

std::optional<QJsonObject> FileCredentialStore::load(bool* corrupt) const {
    QFile f(file_);
    if (!f.exists())
        return QJsonObject();
    if (!f.open(QIODevice::ReadOnly)) {
        qCWarning(lcPlatform).noquote()
            << "cannot read the credentials file" << file_ << ":" << f.errorString();
        return std::nullopt;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (corrupt)
        *corrupt = !doc.isObject();
    return doc.object();
}

void FileCredentialStore::store(const QJsonObject& all) const {
    if (all.isEmpty()) {
        QFile f(file_);
        if (f.exists() && !f.remove())
            throw WriteError(file_, f.errorString());
        return;
    }
    const QString dir = QFileInfo(file_).absolutePath();
    QDir().mkpath(dir);
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QString reason;
    if (!AtomicFile::write(file_, QJsonDocument(all).toJson(QJsonDocument::Compact),
                           AtomicFile::Mode::OwnerOnly, &reason))
        throw WriteError(file_, reason);
}

std::optional<QString> FileCredentialStore::get(const QString& service, const QString& account) {
    const QJsonValue v = load().value_or(QJsonObject()).value(service).toObject().value(account);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

void FileCredentialStore::save(const QString& service, const QString& account,
                               const QString& value) {
    // An unreadable file is replaced: what it held cannot be used anyway.
    QJsonObject all = load().value_or(QJsonObject());
    QJsonObject items = all.value(service).toObject();
    items.insert(account, value);
    all.insert(service, items);
    store(all);
}

void FileCredentialStore::remove(const QString& service, const QString& account) {
    bool corrupt = false;
    const std::optional<QJsonObject> loaded = load(&corrupt);
    if (!loaded)
        throw WriteError(file_, QStringLiteral("the file cannot be read"));
    // Whatever a damaged file holds, it held secrets: it goes.
    if (corrupt) {
        store(QJsonObject());
        return;
    }
    QJsonObject all = *loaded;
    QJsonObject items = all.value(service).toObject();
    if (!items.contains(account))
        return;
    items.remove(account);
    if (items.isEmpty())
        all.remove(service);
    else
        all.insert(service, items);
    store(all);
}
