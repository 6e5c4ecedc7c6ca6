#pragma once

#include "shared/package/TarScan.h"

#include <QCoroTask>
#include <QString>
#include <optional>

// The update package taken apart: scanned, unpacked with /usr/bin/tar into a fresh folder of
// its own, looked over again as it landed, and made read-only so nothing changes it between
// the checks and the copy.
namespace PackageUnpack {

inline const QString kTar = QStringLiteral("/usr/bin/tar");

// The folder holding the unpacked package (temporaryFolder + "/KelvaneUpdate-" + a random
// number). Throws UpdateError(badDMG) for a package that is refused or does not unpack (the
// folder is removed again), TransportError when the folder cannot be made or tar cannot start.
QCoro::Task<QString> attach(QString package, QString temporaryFolder, TarScan::Limits limits);

// What is wrong with an unpacked tree (a device, fifo or socket, a link that leaves it, too
// many entries), or nothing. Blocking.
std::optional<QString> inspect(const QString& root, const TarScan::Limits& limits);

// Removes what exists of the unpacked folder and the downloaded files; errors are ignored.
// Blocking.
void cleanUp(const std::optional<QString>& folder, const QStringList& files);

} // namespace PackageUnpack
