#pragma once

#include <QJsonObject>
#include <QString>

struct User {
    QString id;
    QString email;
    QString name;
    QString role;

    static User fromJson(const QJsonObject& o);
    QJsonObject toJson() const;
    bool operator==(const User&) const = default;
};
