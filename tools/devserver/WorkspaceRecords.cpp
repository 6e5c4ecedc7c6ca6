#include "tools/devserver/WorkspaceRecords.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

QString digest(const QString& salt, const QString& password) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(salt.toUtf8());
    hash.addData(password.toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

QString randomHex(int bytes) {
    QByteArray raw(bytes, Qt::Uninitialized);
    for (char& byte : raw)
        byte = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return QString::fromLatin1(raw.toHex());
}

UserRecord UserRecord::create(const QString& id, const QString& email, const QString& name,
                              const QString& role, const QString& password) {
    UserRecord user{id, email, name, role, randomHex(16), {}};
    user.passwordDigest = digest(user.passwordSalt, password);
    return user;
}

bool UserRecord::checkPassword(const QString& password) const {
    return !passwordDigest.isEmpty() && digest(passwordSalt, password) == passwordDigest;
}

QJsonObject UserRecord::toPublicJson() const {
    return {{"id", id}, {"email", email}, {"name", name}, {"role", role}};
}

QJsonObject UserRecord::toStoredJson() const {
    QJsonObject object = toPublicJson();
    object.insert("password_salt", passwordSalt);
    object.insert("password_sha256", passwordDigest);
    return object;
}

UserRecord UserRecord::fromStoredJson(const QJsonObject& o) {
    return {o.value("id").toString(),
            o.value("email").toString(),
            o.value("name").toString(),
            o.value("role").toString(),
            o.value("password_salt").toString(),
            o.value("password_sha256").toString()};
}

QJsonObject FilespaceRecord::toStoredJson() const {
    return {{"id", id}, {"name", name}, {"mount_name", mountName}, {"volume_name", volumeName}};
}

FilespaceRecord FilespaceRecord::fromStoredJson(const QJsonObject& o) {
    return {o.value("id").toString(), o.value("name").toString(), o.value("mount_name").toString(),
            o.value("volume_name").toString()};
}
