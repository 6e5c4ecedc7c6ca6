#include "platform/EngineProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <unistd.h>

namespace EngineProcesses {

bool isMountCommandFor(const QByteArray& cmdline, const QString& mountPoint) {
    QList<QByteArray> arguments = cmdline.split('\0');
    while (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast();
    if (arguments.size() < 3 || !arguments.contains("mount"))
        return false;
    return QString::fromLocal8Bit(arguments.last()) == mountPoint;
}

QList<pid_t> servingMount(const QString& mountPoint, const QString& procRoot) {
    QList<pid_t> found;
    const uint me = ::getuid();
    const QDir proc(procRoot);
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric || pid == ::getpid())
            continue;
        if (QFileInfo(proc.filePath(entry)).ownerId() != me)
            continue;
        QFile cmdline(proc.filePath(entry) + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) &&
            isMountCommandFor(cmdline.read(64 * 1024), mountPoint))
            found.append(pid);
    }
    return found;
}

void signalAll(const QList<pid_t>& pids, int signalNumber) {
    for (const pid_t pid : pids)
        ::kill(pid, signalNumber);
}

} // namespace EngineProcesses
