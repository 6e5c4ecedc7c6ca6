#include "app/api/Filespace.h"

#include "shared/JsonReader.h"

Filespace Filespace::fromJson(const QJsonObject& o) {
    const JsonReader r(o, QStringLiteral("filespace"));
    return Filespace{r.string("id"), r.string("name"), r.string("metadata_public_url"),
                     r.string("volume_name"), r.string("mount_name")};
}

QList<Filespace> Filespace::listFromJson(const QJsonArray& a) {
    QList<Filespace> list;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!a.at(i).isObject())
            throw DecodingError(QStringLiteral("filespaces[%1]: expected an object, found %2")
                                    .arg(i)
                                    .arg(jsonTypeName(a.at(i))));
        try {
            list.append(fromJson(a.at(i).toObject()));
        } catch (const DecodingError& e) {
            throw DecodingError(QStringLiteral("filespaces[%1] ").arg(i) + e.description());
        }
    }
    return list;
}

QJsonObject Filespace::toJson() const {
    return {{"id", id},
            {"name", name},
            {"metadata_public_url", metadataPublicURL},
            {"volume_name", volumeName},
            {"mount_name", mountName}};
}
