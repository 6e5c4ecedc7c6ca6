#pragma once

#include <QString>

// Every per-user location the programs use, derived from the home folder at call time so that
// a process (or test) with its own HOME never touches another user's files.
namespace Paths {

QString home();
QString defaultsFile();
QString appDataDir();
QString credentialsFile();
QString extensionContainer(const QString& bundleId);
QString extensionSupportDir(const QString& bundleId);
QString juicefsLogFile();
QString fileProviderDomainsFile();
QString cloudStorageRoot();
QString autostartEntry();
QString runtimeDir();
QString desktopDir();
// The running instance's local socket.
QString instanceSocket();
// The installation's program that keeps text on the clipboard after its caller exits.
QString clipboardKeeper();
// The engine the application installs for itself and the marker of the installed release.
QString engineBinary();
QString engineMarker();
// The defaults of the settings: where drives are mounted and where their caches live.
QString defaultMountBase();
QString defaultCacheDir();

} // namespace Paths
