#include "platform/pluginregistry/NautilusActions.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/pluginregistry/CommandQuoting.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kCopy = QStringLiteral("Copy Kelvane Link");
const QString kOpen = QStringLiteral("Open in Kelvane on the Web");

constexpr auto kExecutableBits =
    QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

} // namespace

QString NautilusActions::folder() const {
    return Paths::nautilusScriptsDir() + QStringLiteral("/Kelvane");
}

QStringList NautilusActions::scripts() {
    const QString dir = Paths::nautilusScriptsDir() + QStringLiteral("/Kelvane/");
    return {dir + kCopy, dir + kOpen};
}

bool NautilusActions::install(const Target& target, QString* problem) {
    for (const QString& path : scripts()) {
        const QString action =
            path.endsWith(kCopy) ? QStringLiteral("copy-link") : QStringLiteral("open-on-web");
        const QByteArray script =
            CommandQuoting::shebangRunning(target.program, "nautilus-script " + action).toUtf8();
        // A script the user made non-executable stays so: that is how it was switched off.
        const bool switchedOff = QFileInfo::exists(path) && !QFileInfo(path).isExecutable();
        const bool written =
            switchedOff
                ? AtomicFile::write(path, script) &&
                      QFile::setPermissions(path, QFile::permissions(path) &
                                                      ~QFileDevice::Permissions(kExecutableBits))
                : AtomicFile::write(path, script, AtomicFile::Mode::Executable);
        if (!written) {
            *problem = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}

FileManagerActions::State NautilusActions::state() const {
    bool any = false;
    for (const QString& path : scripts()) {
        if (!QFileInfo::exists(path))
            continue;
        any = true;
        if (!QFileInfo(path).isExecutable())
            return State::switchedOff;
    }
    return any ? State::on : State::notInstalled;
}

bool NautilusActions::switchOn(QString* problem) {
    for (const QString& path : scripts()) {
        if (QFileInfo::exists(path) &&
            !QFile::setPermissions(path, QFile::permissions(path) | kExecutableBits)) {
            *problem = QStringLiteral("cannot make %1 executable").arg(path);
            return false;
        }
    }
    return true;
}
