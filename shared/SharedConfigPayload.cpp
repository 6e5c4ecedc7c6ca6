#include "shared/SharedConfigPayload.h"

#include "platform/Paths.h"
#include "shared/JsonReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QByteArray SharedConfigPayload::toJson() const {
    QJsonObject o;
    if (apiURL)
        o.insert("apiURL", *apiURL);
    if (token)
        o.insert("token", *token);
    if (mountBase)
        o.insert("mountBase", *mountBase);
    if (mountPaths)
        o.insert("mountPaths", QJsonArray::fromStringList(*mountPaths));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

SharedConfigPayload SharedConfigPayload::fromJson(const QByteArray& bytes) {
    const JsonReader r(JsonReader::parseObject(bytes), QStringLiteral("config.json"));
    return SharedConfigPayload{r.optionalString("apiURL"), r.optionalString("token"),
                               r.optionalString("mountBase"), r.optionalStringList("mountPaths")};
}

std::optional<SharedConfigPayload> SharedConfigPayload::load(const QString& file) {
    return loadJsonFile<SharedConfigPayload>(file);
}

namespace SharedConfigFiles {
QString fileFor(const QString& bundleId) {
    return Paths::extensionSupportDir(bundleId) + QStringLiteral("/config.json");
}
} // namespace SharedConfigFiles
