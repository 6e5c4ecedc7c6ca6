#include "platform/fileprovider/FileProviderDomain.h"

QJsonObject FileProviderDomain::toJson() const {
    return QJsonObject{{"identifier", identifier}, {"displayName", displayName}};
}

std::optional<FileProviderDomain> FileProviderDomain::fromJson(const QJsonObject& object) {
    const QJsonValue id = object.value("identifier");
    if (!id.isString() || id.toString().isEmpty())
        return std::nullopt;
    return FileProviderDomain{id.toString(), object.value("displayName").toString()};
}
