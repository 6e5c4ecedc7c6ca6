#pragma once

#include "app/api/Filespace.h"

#include <QMap>
#include <QStringList>

// The engine command lines the subsystem runs; the engine only ever sees these.
namespace MountCommand {

struct MountRequest {
    Filespace filespace;
    QString mountPoint;
    QString cacheFolder;
    qint64 cacheSizeMB = 0;
    QMap<QString, QString> tuningOverrides;
};

// "mount -d --cache-dir … --cache-size … <tuning> --cache-large-write --fast-statfs --writeback
//  -o local,…,volname=<name> --no-usage-report <metadata URL> <mount point>". Throws
// MountError::unsafeServerValue for a metadata URL the engine would read as an option.
QStringList mountArguments(const MountRequest& request);

QStringList unmountArguments(const QString& mountPoint);

QStringList warmupArguments(const QStringList& paths, int threads);

} // namespace MountCommand
