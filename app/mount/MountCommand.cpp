#include "app/mount/MountCommand.h"

#include "app/mount/MountError.h"
#include "app/mount/MountTuning.h"

namespace MountCommand {

namespace {

// A comma would end the volume name and let the rest pass as further FUSE options.
QString volumeName(const QString& name) {
    QString safe = name;
    return safe.remove(QLatin1Char(','));
}

} // namespace

QStringList mountArguments(const MountRequest& request) {
    if (request.filespace.metadataPublicURL.startsWith(QLatin1Char('-')))
        throw MountError::unsafeServerValue(request.filespace.metadataPublicURL);
    QStringList args{QStringLiteral("mount"),        QStringLiteral("-d"),
                     QStringLiteral("--cache-dir"),  request.cacheFolder,
                     QStringLiteral("--cache-size"), QString::number(request.cacheSizeMB)};
    args << MountTuning::arguments(MountTuning::resolved(request.tuningOverrides));
    args << QStringLiteral("--cache-large-write") << QStringLiteral("--fast-statfs")
         << QStringLiteral("--writeback") << QStringLiteral("-o")
         << QStringLiteral("local,iosize=1048576,async_read,noatime,nodiratime,daemon_timeout=600,"
                           "volname=") +
                volumeName(request.filespace.name)
         << QStringLiteral("--no-usage-report") << request.filespace.metadataPublicURL
         << request.mountPoint;
    return args;
}

QStringList unmountArguments(const QString& mountPoint) {
    return {QStringLiteral("umount"), mountPoint};
}

QStringList warmupArguments(const QStringList& paths, int threads) {
    return QStringList{QStringLiteral("warmup"), QStringLiteral("--threads"),
                       QString::number(threads)} +
           paths;
}

} // namespace MountCommand
