#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// One shared storage area; identified by id, equal only when every field is.
struct Filespace {
    QString id;
    QString name;
    QString metadataPublicURL;
    QString volumeName;
    QString mountName;

    static Filespace fromJson(const QJsonObject& o);
    // One bad element fails the whole list.
    static QList<Filespace> listFromJson(const QJsonArray& a);
    QJsonObject toJson() const;
    bool operator==(const Filespace&) const = default;
};
