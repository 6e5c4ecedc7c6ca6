#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The content of config.json, which the application publishes for its two extensions.
// Absent values are left out of the file, never written as null.
struct SharedConfigPayload {
    std::optional<QString> apiURL;
    std::optional<QString> token;
    std::optional<QString> mountBase;
    std::optional<QStringList> mountPaths;

    QByteArray toJson() const;
    // Throws DecodingError when the bytes are not a JSON object of the right types.
    static SharedConfigPayload fromJson(const QByteArray& bytes);
    // The payload in a file, or nothing when it cannot be read or decoded.
    static std::optional<SharedConfigPayload> load(const QString& file);

    bool operator==(const SharedConfigPayload&) const = default;
};

namespace SharedConfigFiles {
// config.json inside an extension's data folder.
QString fileFor(const QString& bundleId);
} // namespace SharedConfigFiles
