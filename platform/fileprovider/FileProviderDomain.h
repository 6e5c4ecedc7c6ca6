#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// A value naming a domain; nothing is registered by making one. The registry identifies a
// domain by its identifier alone.
struct FileProviderDomain {
    QString identifier;
    QString displayName;

    QJsonObject toJson() const;
    // Nothing when the object lacks a non-empty string identifier.
    static std::optional<FileProviderDomain> fromJson(const QJsonObject& object);

    bool operator==(const FileProviderDomain&) const = default;
};
