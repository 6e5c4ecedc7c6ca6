#pragma once

#include "app/api/Filespace.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

// The `juicefs sync` command line of one import. The engine reads both sides as URLs (a plain
// path becomes a file URL and is parsed too), so the characters a URL gives meaning to are
// escaped where they would change which folder is meant; names without them go as they are.
namespace SyncInvocation {

// Why the volume name cannot be used (it becomes an environment variable's name and a URL's
// host), or nothing. Volume names are 3 to 63 lower-case letters, digits and hyphens.
std::optional<QString> volumeNameProblem(const QString& volumeName);

// The folder the import creates in the filespace: the sub-path if given, else the source's
// last path component. Empty for the root folder.
QString destinationName(const QString& source, const std::optional<QString>& subpath);

// The source as the engine must see it, ending in "/".
QString sourceArgument(const QString& folder);
// "jfs://" + volume + "/" + destination + "/".
QString destinationArgument(const QString& volumeName, const QString& destination);

// sync -p 32 --update --metrics 127.0.0.1:PORT SOURCE DESTINATION, in that order.
QStringList arguments(quint16 metricsPort, const QString& source, const QString& destination);

// The application's environment plus VOLUME=METADATA-URL, the only place the metadata URL goes.
QProcessEnvironment
environment(const Filespace& filespace,
            QProcessEnvironment base = QProcessEnvironment::systemEnvironment());

// What a URL would misread in a path: "%", "#", "?", ":", "@" and control characters, as %XX.
QString escapePath(const QString& path);

} // namespace SyncInvocation
