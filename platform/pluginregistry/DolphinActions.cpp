#include "platform/pluginregistry/DolphinActions.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/pluginregistry/CommandQuoting.h"
#include "platform/pluginregistry/ServiceMenuSwitches.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kSingleFile = QStringLiteral("kelvane-findersync.desktop");
const QString kSeveralFile = QStringLiteral("kelvane-findersync-several.desktop");
const QString kCopyOne = QStringLiteral("kelvaneCopyLink");
const QString kCopySeveral = QStringLiteral("kelvaneCopyLinks");
const QString kOpen = QStringLiteral("kelvaneOpenOnWeb");

QString serviceMenu(const QString& program, bool several) {
    const QString exec = CommandQuoting::desktopExecWord(program);
    const QString copyKey = several ? kCopySeveral : kCopyOne;
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Service\n"
                          "ServiceTypes=KonqPopupMenu/Plugin\n"
                          "MimeType=all/all;\n"
                          "X-KDE-Protocols=file\n"
                          "X-KDE-Submenu=Kelvane\n"
                          "%1\n"
                          "Actions=%2;%3;\n"
                          "\n"
                          "[Desktop Action %2]\n"
                          "Name=%4\n"
                          "Icon=insert-link\n"
                          "Exec=%5 copy-link %U\n"
                          "\n"
                          "[Desktop Action %3]\n"
                          "Name=Open in Kelvane on the Web\n"
                          "Icon=internet-web-browser\n"
                          "Exec=%5 open-on-web %U\n")
        .arg(several ? QStringLiteral("X-KDE-MinNumberOfUrls=2")
                     : QStringLiteral("X-KDE-MaxNumberOfUrls=1"),
             copyKey, kOpen,
             several ? QStringLiteral("Copy Kelvane Links") : QStringLiteral("Copy Kelvane Link"),
             exec);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QStringList DolphinActions::actionKeys() {
    return {kCopyOne, kCopySeveral, kOpen};
}

QStringList DolphinActions::files() {
    QStringList paths;
    for (const QString& dir : Paths::dolphinServiceMenuDirs())
        paths << dir + QLatin1Char('/') + kSingleFile << dir + QLatin1Char('/') + kSeveralFile;
    return paths;
}

QString DolphinActions::folder() const {
    return Paths::dolphinServiceMenuDirs().first();
}

bool DolphinActions::install(const Target& target, QString* problem) {
    for (const QString& path : files()) {
        const bool several = path.endsWith(kSeveralFile);
        const QByteArray content = serviceMenu(target.program, several).toUtf8();
        if (!AtomicFile::write(path, content, AtomicFile::Mode::Executable)) {
            *problem = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}

FileManagerActions::State DolphinActions::state() const {
    const QString current = folder() + QLatin1Char('/') + kSingleFile;
    if (!QFileInfo::exists(current))
        return State::notInstalled;
    if (ServiceMenuSwitches::anySwitchedOff(readAll(Paths::dolphinMenuSwitches()), actionKeys()))
        return State::switchedOff;
    // Dolphin refuses a service menu outside its trusted folders that is not executable.
    for (const QString& path : files()) {
        if (QFileInfo::exists(path) && !QFileInfo(path).isExecutable())
            return State::switchedOff;
    }
    return State::on;
}

bool DolphinActions::switchOn(QString* problem) {
    const QString switches = Paths::dolphinMenuSwitches();
    const QByteArray before = readAll(switches);
    const QByteArray after = ServiceMenuSwitches::withKeysShown(before, actionKeys());
    if (after != before && !AtomicFile::write(switches, after)) {
        *problem = QStringLiteral("cannot write %1").arg(switches);
        return false;
    }
    for (const QString& path : files()) {
        if (!QFileInfo::exists(path))
            continue;
        const auto mode = QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                          QFileDevice::ExeOther;
        if (!QFile::setPermissions(path, mode)) {
            *problem = QStringLiteral("cannot make %1 executable").arg(path);
            return false;
        }
    }
    return true;
}
