#pragma once

#include <QList>
#include <QString>
#include <sys/types.h>

// The engine daemons serving mounts, found through /proc: the daemon of `juicefs mount -d` is
// not our child (it detaches), so its process id is looked up by its command line.
namespace EngineProcesses {

// Processes of this user whose command line is an engine "mount" ending in the mount point.
QList<pid_t> servingMount(const QString& mountPoint,
                          const QString& procRoot = QStringLiteral("/proc"));

// Whether a command line (NUL-separated, as /proc/PID/cmdline holds it) mounts at the path.
bool isMountCommandFor(const QByteArray& cmdline, const QString& mountPoint);

// Sends the signal to every process in the list that still exists.
void signalAll(const QList<pid_t>& pids, int signalNumber);

} // namespace EngineProcesses
