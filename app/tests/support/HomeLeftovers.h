#pragma once

#include "platform/MountTable.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <csignal>
#include <unistd.h>

// What a test run may leave in its temporary home: engine mounts and processes working there.
// Tests assert there are none, and sweep them away in their teardown whatever happened.
namespace HomeLeftovers {

// Engine mounts under the folder, as the kernel lists them.
inline QStringList drives(const QString& home) {
    QStringList found;
    for (const MountTable::Entry& entry : MountTable::read()) {
        if (entry.fsType == MountTable::kJuicefsType && entry.mountPoint.startsWith(home + '/'))
            found.append(entry.mountPoint);
    }
    return found;
}

// Live processes whose command line names a path in the folder (engines, tools).
inline QList<pid_t> processes(const QString& home) {
    QList<pid_t> found;
    const QByteArray marker = home.toUtf8() + '/';
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric || pid == ::getpid())
            continue;
        QFile status("/proc/" + entry + "/status");
        if (status.open(QIODevice::ReadOnly) && status.readAll().contains("State:\tZ"))
            continue;
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(marker))
            found.append(pid);
    }
    return found;
}

inline void sweep(const QString& home) {
    for (const QString& drive : drives(home))
        QProcess::execute("/usr/bin/fusermount3", {"-u", "-z", drive});
    for (const pid_t pid : processes(home))
        ::kill(pid, SIGKILL);
    waitUntil([&] { return drives(home).isEmpty() && processes(home).isEmpty(); },
              std::chrono::seconds(10));
}

} // namespace HomeLeftovers
