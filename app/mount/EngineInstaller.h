#pragma once

#include "app/mount/EngineSource.h"

#include <QCoroTask>
#include <QStringList>
#include <QUrl>
#include <optional>

class QNetworkAccessManager;

// Finds the engine executable and installs the pinned release under the home folder. The
// install location and its marker (the archive's checksum) are the only state.
namespace EngineInstaller {

QString installLocation(); // ~/.kelvane/bin/juicefs
QString installedMarker(); // ~/.kelvane/bin/juicefs.installed

bool isExecutableFile(const QString& path);

// The private install location, then each of the other places: the first executable file.
std::optional<QString> findBinary(const QStringList& otherLocations);

// The marker, trimmed, equals the checksum and the private copy is an executable file.
bool isInstalled(const QString& sha256);

// downloadBase (or the API address's origin when it is empty) + "/downloads/" + archive name.
// Nothing when that is not a usable URL.
std::optional<QUrl> downloadURL(const EngineSource& source, const std::optional<QUrl>& apiBase);

// Whether the engine at the path runs and names itself as JuiceFS ("juicefs version …").
QCoro::Task<bool> answersVersion(QString binary);

// Downloads, verifies, unpacks and installs unless the marker already matches and the
// installed engine runs (a damaged one is installed once more). Throws
// MountError::juicefsDownloadFailed, or TransportError with the platform's text. The network
// manager must outlive the task.
QCoro::Task<void> ensureInstalled(QNetworkAccessManager& network, EngineSource source,
                                  std::optional<QUrl> apiBase);

} // namespace EngineInstaller
