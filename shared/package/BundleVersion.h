#pragma once

#include <QString>

// The bundle's version file, Kelvane/Info.json: {"build": "57", "version": "1.4.2"}. Read at
// run time; a value that is missing or not text reads as "0".
struct BundleVersion {
    QString version = QStringLiteral("0");
    QString build = QStringLiteral("0");

    static inline const QString kFileName = QStringLiteral("Info.json");

    static BundleVersion read(const QString& bundle);
    // Replaces the file in one step; false when it cannot be written.
    bool write(const QString& bundle) const;
};
