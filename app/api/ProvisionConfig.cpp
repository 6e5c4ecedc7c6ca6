#include "app/api/ProvisionConfig.h"

#include "shared/JsonReader.h"

ProvisionConfig ProvisionConfig::fromJson(const QJsonObject& o) {
    const JsonReader r(o, QStringLiteral("provision config"));
    return ProvisionConfig{r.optionalString("metadata_public_url"),
                           r.optionalStringMap("mount_options")};
}

QJsonObject ProvisionConfig::toJson() const {
    QJsonObject o;
    if (metadataPublicURL)
        o.insert("metadata_public_url", *metadataPublicURL);
    if (mountOptions) {
        QJsonObject options;
        for (auto it = mountOptions->begin(); it != mountOptions->end(); ++it)
            options.insert(it.key(), it.value());
        o.insert("mount_options", options);
    }
    return o;
}
