#include "platform/Paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Paths {

QString home() {
    return QDir::homePath();
}

QString defaultsFile() {
    return home() + "/.config/kelvane/defaults.conf";
}

QString appDataDir() {
    return home() + "/.local/share/kelvane";
}

QString credentialsFile() {
    return appDataDir() + "/credentials.json";
}

QString extensionContainer(const QString& bundleId) {
    return home() + "/.var/app/" + bundleId;
}

QString extensionSupportDir(const QString& bundleId) {
    return extensionContainer(bundleId) + "/data/Kelvane";
}

QString juicefsLogFile() {
    return home() + "/.juicefs/juicefs.log";
}

QString fileProviderDomainsFile() {
    return appDataDir() + "/fileprovider/domains.json";
}

QString cloudStorageRoot() {
    return appDataDir() + "/CloudStorage/Kelvane";
}

QString autostartEntry() {
    return home() + "/.config/autostart/kelvane.desktop";
}

QString runtimeDir() {
    // Keyed by the home folder so two test homes (or users) never share a socket.
    const QByteArray key = QCryptographicHash::hash(home().toUtf8(), QCryptographicHash::Sha256);
    // Read the variable directly: QStandardPaths warns on every call when it is unset, which
    // is the normal case on servers and in CI.
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QDir::tempPath();
    return base + "/kelvane-" + QString::fromLatin1(key.toHex().left(16));
}

QString engineBinary() {
    return home() + "/.kelvane/bin/juicefs";
}

QString engineMarker() {
    return home() + "/.kelvane/bin/juicefs.installed";
}

QString defaultMountBase() {
    return home() + "/Kelvane";
}

QString defaultCacheDir() {
    return home() + "/.kelvane/cache";
}

QString desktopDir() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString instanceSocket() {
    return runtimeDir() + "/instance";
}

QString clipboardKeeper() {
    return QCoreApplication::applicationDirPath() + "/kelvane-clipboard";
}

} // namespace Paths
