#include "platform/Paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <pwd.h>
#include <unistd.h>

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

QString schemeHandlerEntry() {
    return home() + "/.local/share/applications/kelvane.desktop";
}

QString mimeAppsList() {
    return home() + "/.config/mimeapps.list";
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

QString runningBundle() {
    return QDir(QCoreApplication::applicationDirPath() + "/..").canonicalPath();
}

QString temporaryDir() {
    return QDir::tempPath();
}

QString updateLogFile() {
    return appDataDir() + "/update.log";
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

QString realHome() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return QFile::decodeName(entry->pw_dir);
    return home();
}

QString instanceSocket() {
    return runtimeDir() + "/instance";
}

QString bundleDir() {
    return QFileInfo(QCoreApplication::applicationDirPath()).absolutePath();
}

QString urlOpener() {
    return QStringLiteral("/usr/bin/xdg-open");
}

QStringList systemProgramDirs() {
    return {QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/bin")};
}

QStringList dolphinServiceMenuDirs() {
    return {home() + "/.local/share/kio/servicemenus",
            home() + "/.local/share/kservices5/ServiceMenus"};
}

QString dolphinMenuSwitches() {
    return home() + "/.config/kservicemenurc";
}

QString nautilusScriptsDir() {
    return home() + "/.local/share/nautilus/scripts";
}

QString nemoActionsDir() {
    return home() + "/.local/share/nemo/actions";
}

QString thunarActionsFile() {
    return home() + "/.config/Thunar/uca.xml";
}

QString thunarSystemActionsFile() {
    return QStringLiteral("/etc/xdg/Thunar/uca.xml");
}

QString gsettingsTool() {
    return QStringLiteral("/usr/bin/gsettings");
}

QString importLogFile(const QString& id) {
    return QDir::tempPath() + "/kelvane-import-" + id + ".log";
}

QString systemJuicefsLogFile() {
    return QStringLiteral("/var/log/juicefs.log");
}

QString clipboardKeeper() {
    return QCoreApplication::applicationDirPath() + "/kelvane-clipboard";
}

} // namespace Paths
