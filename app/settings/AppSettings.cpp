#include "app/settings/AppSettings.h"

#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "shared/JsonReader.h"

#include <QJsonDocument>
#include <QJsonObject>

QString rawValue(StorageMode mode) {
    return mode == StorageMode::fileprovider ? QStringLiteral("fileprovider")
                                             : QStringLiteral("directMount");
}

QString rawValue(AppearanceMode mode) {
    switch (mode) {
    case AppearanceMode::light:
        return QStringLiteral("light");
    case AppearanceMode::dark:
        return QStringLiteral("dark");
    case AppearanceMode::system:
        break;
    }
    return QStringLiteral("system");
}

QList<StorageMode> allStorageModes() {
    return {StorageMode::directMount, StorageMode::fileprovider};
}

QList<AppearanceMode> allAppearanceModes() {
    return {AppearanceMode::system, AppearanceMode::light, AppearanceMode::dark};
}

std::optional<StorageMode> storageModeFromRaw(const QString& raw) {
    for (StorageMode m : allStorageModes())
        if (rawValue(m) == raw)
            return m;
    return std::nullopt;
}

std::optional<AppearanceMode> appearanceModeFromRaw(const QString& raw) {
    for (AppearanceMode m : allAppearanceModes())
        if (rawValue(m) == raw)
            return m;
    return std::nullopt;
}

QString AppSettings::defaultCacheDir() {
    return Paths::defaultCacheDir();
}

QString AppSettings::defaultMountPoint() {
    return Paths::defaultMountBase();
}

QByteArray AppSettings::encode() const {
    QJsonObject o{{"apiURL", apiURL},
                  {"storageMode", rawValue(storageMode)},
                  {"cacheDir", cacheDir},
                  {"cacheSizeMB", cacheSizeMB},
                  {"mountPoint", mountPoint},
                  {"launchAtLogin", launchAtLogin},
                  {"automaticUpdates", automaticUpdates},
                  {"appearance", rawValue(appearance)}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

static AppSettings decodeStrictly(const QByteArray& data) {
    const JsonReader r(JsonReader::parseObject(data));
    AppSettings s;
    s.apiURL = r.optionalString("apiURL").value_or(QString());
    // A stored mode is deliberately not read back: every record carries directMount.
    r.optionalString("storageMode");
    s.cacheDir = r.optionalString("cacheDir").value_or(s.cacheDir);
    s.cacheSizeMB = r.optionalInt64("cacheSizeMB").value_or(s.cacheSizeMB);
    s.mountPoint = r.optionalString("mountPoint").value_or(s.mountPoint);
    s.launchAtLogin = r.optionalBoolean("launchAtLogin").value_or(true);
    s.automaticUpdates = r.optionalBoolean("automaticUpdates").value_or(true);
    if (const auto raw = r.optionalString("appearance")) {
        const auto mode = appearanceModeFromRaw(*raw);
        if (!mode)
            throw DecodingError(QStringLiteral("unknown appearance"));
        s.appearance = *mode;
    }
    return s;
}

AppSettings AppSettings::decode(const QByteArray& data) {
    try {
        return decodeStrictly(data);
    } catch (const DecodingError&) {
        return AppSettings{};
    }
}

AppSettings AppSettings::load(const UserDefaults& defaults) {
    return decode(defaults.data(DefaultsKeys::kSettings));
}

std::optional<WriteError> AppSettings::save(UserDefaults& defaults) const {
    return defaults.setValue(DefaultsKeys::kSettings, encode());
}
