#pragma once

#include <QJsonObject>
#include <QString>

// A workspace member. The password is kept only as a salted digest.
struct UserRecord {
    QString id;
    QString email;
    QString name;
    QString role;
    QString passwordSalt;
    QString passwordDigest;

    static UserRecord create(const QString& id, const QString& email, const QString& name,
                             const QString& role, const QString& password);
    bool checkPassword(const QString& password) const;

    // The record clients see: no password material.
    QJsonObject toPublicJson() const;
    QJsonObject toStoredJson() const;
    static UserRecord fromStoredJson(const QJsonObject& object);
};

// A filespace; its files live in a folder named after mountName.
struct FilespaceRecord {
    QString id;
    QString name;
    QString mountName;
    QString volumeName;

    QJsonObject toStoredJson() const;
    static FilespaceRecord fromStoredJson(const QJsonObject& object);
};

// Random bytes from the system source, as lower-case hex.
QString randomHex(int bytes);
