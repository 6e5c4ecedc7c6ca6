#include "tools/devserver/Workspace.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <stdexcept>

namespace {

constexpr int kTokenBytes = 32;

QString definitionsPath(const QString& dataDir) {
    return dataDir + "/workspace.json";
}
QString tokensPath(const QString& dataDir) {
    return dataDir + "/tokens.json";
}

// Nothing for a missing file; throws for one that exists but is not a JSON object.
std::optional<QJsonObject> readObject(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw std::runtime_error(path.toStdString() + " is not a JSON object");
    return doc.object();
}

QJsonObject stringMapToJson(const QMap<QString, QString>& map) {
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

QMap<QString, QString> stringMapFromJson(const QJsonObject& object) {
    QMap<QString, QString> map;
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key(), it.value().toString());
    return map;
}

} // namespace

Workspace::Workspace(const QString& dataDir) : dataDir_(QDir(dataDir).absolutePath()) {
    if (!QDir().mkpath(dataDir_ + "/filespaces"))
        throw std::runtime_error("cannot create " + dataDir_.toStdString());
    load();
}

QString Workspace::filespaceDir(const QString& mountName) const {
    return dataDir_ + "/filespaces/" + mountName;
}

QString Workspace::filespaceMetadataURL(const QString& mountName) const {
    return "file://" + filespaceDir(mountName);
}

QString Workspace::serverMetadataURL() const {
    return "file://" + dataDir_ + "/filespaces";
}

void Workspace::addUser(const UserRecord& user) {
    std::lock_guard lock(mutex_);
    users_.append(user);
    saveDefinitions();
}

void Workspace::addFilespace(const FilespaceRecord& filespace) {
    QDir().mkpath(filespaceDir(filespace.mountName));
    std::lock_guard lock(mutex_);
    filespaces_.append(filespace);
    saveDefinitions();
}

bool Workspace::isDemoSeeded() const {
    std::lock_guard lock(mutex_);
    return demoSeeded_;
}

void Workspace::markDemoSeeded() {
    std::lock_guard lock(mutex_);
    demoSeeded_ = true;
    saveDefinitions();
}

std::optional<std::pair<QString, UserRecord>> Workspace::login(const QString& email,
                                                               const QString& password) {
    std::lock_guard lock(mutex_);
    for (const UserRecord& user : users_) {
        if (user.email.compare(email, Qt::CaseInsensitive) != 0)
            continue;
        if (!user.checkPassword(password))
            return std::nullopt;
        const QString token = randomHex(kTokenBytes);
        tokens_.insert(token, user.id);
        saveTokens();
        return std::make_pair(token, user);
    }
    return std::nullopt;
}

std::optional<UserRecord> Workspace::userForToken(const QString& token) const {
    std::lock_guard lock(mutex_);
    const auto it = tokens_.constFind(token);
    if (token.isEmpty() || it == tokens_.constEnd())
        return std::nullopt;
    for (const UserRecord& user : users_) {
        if (user.id == it.value())
            return user;
    }
    return std::nullopt;
}

QList<FilespaceRecord> Workspace::filespaces() const {
    std::lock_guard lock(mutex_);
    return filespaces_;
}

std::optional<FilespaceRecord> Workspace::filespace(const QString& mountName) const {
    std::lock_guard lock(mutex_);
    for (const FilespaceRecord& filespace : filespaces_) {
        if (filespace.mountName == mountName)
            return filespace;
    }
    return std::nullopt;
}

QMap<QString, QString> Workspace::mountOptions() const {
    std::lock_guard lock(mutex_);
    return mountOptions_;
}

void Workspace::setMountOptions(const QMap<QString, QString>& options) {
    std::lock_guard lock(mutex_);
    mountOptions_ = options;
    saveDefinitions();
}

void Workspace::load() {
    loadDefinitions();
    loadTokens();
}

void Workspace::loadDefinitions() {
    const auto stored = readObject(definitionsPath(dataDir_));
    if (!stored)
        return;
    for (const QJsonValue& value : stored->value("users").toArray())
        users_.append(UserRecord::fromStoredJson(value.toObject()));
    for (const QJsonValue& value : stored->value("filespaces").toArray())
        filespaces_.append(FilespaceRecord::fromStoredJson(value.toObject()));
    mountOptions_ = stringMapFromJson(stored->value("mount_options").toObject());
    demoSeeded_ = stored->value("demo_seeded").toBool();
}

void Workspace::loadTokens() {
    if (const auto stored = readObject(tokensPath(dataDir_)))
        tokens_ = stringMapFromJson(stored->value("tokens").toObject());
}

void Workspace::saveDefinitions() const {
    QJsonArray users;
    for (const UserRecord& user : users_)
        users.append(user.toStoredJson());
    QJsonArray filespaces;
    for (const FilespaceRecord& filespace : filespaces_)
        filespaces.append(filespace.toStoredJson());
    const QJsonObject root{{"users", users},
                           {"filespaces", filespaces},
                           {"mount_options", stringMapToJson(mountOptions_)},
                           {"demo_seeded", demoSeeded_}};
    AtomicFile::write(definitionsPath(dataDir_), QJsonDocument(root).toJson(),
                      AtomicFile::Mode::OwnerOnly);
}

void Workspace::saveTokens() const {
    const QJsonObject root{{"tokens", stringMapToJson(tokens_)}};
    AtomicFile::write(tokensPath(dataDir_), QJsonDocument(root).toJson(),
                      AtomicFile::Mode::OwnerOnly);
}
