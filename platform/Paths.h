#pragma once

#include <QString>
#include <QStringList>

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
// The desktop entry that makes Kelvane the handler of kelvane: links, and the file naming the
// desktop's default handlers.
QString schemeHandlerEntry();
QString mimeAppsList();
QString runtimeDir();
QString desktopDir();
// The log of one folder import in the system's temporary folder, named by the import's id.
QString importLogFile(const QString& id);
// The engine log a system-wide JuiceFS writes, tried after the user's own.
QString systemJuicefsLogFile();
// The installation's program that keeps text on the clipboard after its caller exits.
QString clipboardKeeper();
// The engine the application installs for itself and the marker of the installed release.
QString engineBinary();
QString engineMarker();
// The bundle this program runs from: the parent of the executable's folder (.../Kelvane).
QString runningBundle();
// The system's temporary folder (TMPDIR), where updates are downloaded and unpacked.
QString temporaryDir();
// What the update's swap script and the instance it starts print.
QString updateLogFile();
// The defaults of the settings: where drives are mounted and where their caches live.
QString defaultMountBase();
QString defaultCacheDir();

// The user's home folder from the user database (getpwuid), whatever HOME says; HOME when the
// database has no entry for this user.
QString realHome();
// The running instance's local socket.
QString instanceSocket();
// The installed bundle (the folder holding bin/, lib/, share/): the running program's folder's
// parent.
QString bundleDir();
// The program that opens a URL with the desktop's default handler.
QString urlOpener();
// Folders searched for the file managers' programs and for system tools.
QStringList systemProgramDirs();

// File-manager context-menu actions and each file manager's own switches.
// Dolphin service menus, KF 5.85+ and KF6 location first, the older KF5 location second.
QStringList dolphinServiceMenuDirs();
QString dolphinMenuSwitches();
QString nautilusScriptsDir();
QString nemoActionsDir();
QString thunarActionsFile();
// The default actions Thunar copies for a user who has none yet.
QString thunarSystemActionsFile();
QString gsettingsTool();

} // namespace Paths
