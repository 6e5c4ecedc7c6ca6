#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <optional>

// Server-provided mount tuning; both fields optional.
struct ProvisionConfig {
    std::optional<QString> metadataPublicURL;
    std::optional<QMap<QString, QString>> mountOptions;

    static ProvisionConfig fromJson(const QJsonObject& o);
    QJsonObject toJson() const;
    bool operator==(const ProvisionConfig&) const = default;
};
