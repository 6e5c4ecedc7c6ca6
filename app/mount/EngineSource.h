#pragma once

#include <QString>

// Where the pinned engine release comes from and what it must hash to.
struct EngineSource {
    QString version;
    QString archiveName;
    // Empty: the origin (scheme, host, port) of the signed-in workspace server's address.
    QString downloadBase;
    // Lower-case hex SHA-256 of the archive.
    QString sha256;

    // The release this build pins.
    static EngineSource pinned();
};
