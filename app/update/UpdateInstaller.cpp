#include "app/update/UpdateInstaller.h"

#include "app/update/SwapScript.h"
#include "app/update/UpdateError.h"
#include "app/update/UpdateLogging.h"
#include "platform/AtomicFile.h"
#include "shared/package/FileTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <unistd.h>

namespace {

const QString kBash = QStringLiteral("/bin/bash");

bool writable(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

} // namespace

std::optional<QString> UpdateInstaller::firstUnwritable(const QString& currentBundle) {
    const QString installFolder = QFileInfo(currentBundle).absolutePath();
    if (!writable(installFolder))
        return installFolder;
    if (!writable(currentBundle))
        return currentBundle;
    QString ignored;
    const auto nodes = FileTree::list(currentBundle, &ignored);
    if (!nodes)
        return currentBundle;
    for (const FileTree::Node& n : *nodes) {
        const QString path = currentBundle + '/' + QFile::decodeName(n.path);
        if (n.isDirectory() && !writable(path))
            return path;
    }
    return std::nullopt;
}

QString UpdateInstaller::scriptPath(qint64 processId) const {
    return setup_.temporaryFolder + "/kelvane-update-" + QString::number(processId) + ".sh";
}

void UpdateInstaller::installAndRelaunch(const QString& newBundle, const QString& unpackedFolder,
                                         const QString& package) const {
    if (const auto unwritable = firstUnwritable(setup_.currentBundle))
        throw UpdateError(UpdateError::Kind::notWritable, *unwritable);
    const SwapScript script{QCoreApplication::applicationPid(),
                            setup_.currentBundle,
                            newBundle,
                            unpackedFolder,
                            package,
                            setup_.relaunchArguments};
    if (const auto unsafe = script.unsafeValue())
        throw UpdateError(UpdateError::Kind::unsafePath, *unsafe);
    const QString path = scriptPath(script.processId);
    if (!AtomicFile::write(path, script.text().toUtf8(), AtomicFile::Mode::OwnerOnly))
        throw TransportError("Can't write " + path);

    QDir().mkpath(QFileInfo(setup_.logFile).absolutePath());
    QFile(setup_.logFile).open(QIODevice::WriteOnly | QIODevice::Truncate);
    QProcess bash;
    bash.setProgram(kBash);
    bash.setArguments({path});
    bash.setStandardInputFile(QProcess::nullDevice());
    bash.setStandardOutputFile(setup_.logFile, QIODevice::Append);
    bash.setStandardErrorFile(setup_.logFile, QIODevice::Append);
    qint64 pid = 0;
    if (!bash.startDetached(&pid))
        throw TransportError(bash.errorString());
    qCInfo(lcUpdate) << "swap script" << path << "started as" << pid;
    setup_.requestQuit();
}
