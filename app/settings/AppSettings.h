#pragma once

#include "platform/WriteError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class UserDefaults;

enum class StorageMode { directMount, fileprovider };
enum class AppearanceMode { system, light, dark };

QString rawValue(StorageMode mode);
QString rawValue(AppearanceMode mode);
std::optional<StorageMode> storageModeFromRaw(const QString& raw);
std::optional<AppearanceMode> appearanceModeFromRaw(const QString& raw);
QList<StorageMode> allStorageModes();
QList<AppearanceMode> allAppearanceModes();

// The user's choices, stored as JSON under the defaults key "kelvane_settings".
struct AppSettings {
    QString apiURL;
    StorageMode storageMode = StorageMode::directMount;
    QString cacheDir = defaultCacheDir();
    qint64 cacheSizeMB = 307200;
    QString mountPoint = defaultMountPoint();
    bool launchAtLogin = true;
    bool automaticUpdates = true;
    AppearanceMode appearance = AppearanceMode::system;

    static QString defaultCacheDir();
    static QString defaultMountPoint();

    QByteArray encode() const;
    // Never fails: any type error abandons the whole record and yields the defaults. The
    // storage mode always reads back as directMount.
    static AppSettings decode(const QByteArray& data);

    // Read afresh from / write to the defaults domain; a write that did not reach the file
    // says what failed.
    static AppSettings load(const UserDefaults& defaults);
    std::optional<WriteError> save(UserDefaults& defaults) const;

    bool operator==(const AppSettings&) const = default;
};

namespace DefaultsKeys {
inline const QString kSettings = QStringLiteral("kelvane_settings");
inline const QString kApiURL = QStringLiteral("kelvane_api_url");
inline const QString kLoginItemMigrated = QStringLiteral("kelvane_login_item_migrated");
inline const QString kOnboardingSeen = QStringLiteral("kelvane_onboarding_seen");
inline const QString kLastUpdateCheck = QStringLiteral("kelvane_last_update_check");
} // namespace DefaultsKeys
