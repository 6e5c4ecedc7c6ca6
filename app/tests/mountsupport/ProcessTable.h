#pragma once

#include <QDir>
#include <QFile>
#include <QString>

// Looks at the machine's processes through /proc, to see children that tests do not hold.
namespace ProcessTable {

// How many live processes have this exact argument somewhere in their command line.
inline int countWithArgument(const QString& argument) {
    int count = 0;
    const QByteArray wanted = argument.toUtf8();
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile cmdline("/proc/" + pid + "/cmdline");
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        QFile status("/proc/" + pid + "/status");
        // A zombie has exited already; it only waits to be reaped.
        if (status.open(QIODevice::ReadOnly) && status.readAll().contains("State:\tZ"))
            continue;
        if (cmdline.readAll().split('\0').contains(wanted))
            ++count;
    }
    return count;
}

} // namespace ProcessTable
