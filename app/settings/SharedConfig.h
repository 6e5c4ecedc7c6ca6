#pragma once

#include "platform/WriteError.h"
#include "shared/SharedConfigPayload.h"

// Publishes server address, token and mount folders to both extensions' config.json.
// Called on the main thread only, so writes never overlap. Every writer returns nothing when
// both files were written, else the first failure (the file named); a file that could be
// written holds the new content either way.
namespace SharedConfig {

// The two files, file-provider extension first; their folders are created when missing.
QStringList configFiles();

// The content of the first file that reads and decodes, else empty.
SharedConfigPayload current();

// Merges: a value replaces the stored one only when present and non-empty, so publish never
// removes anything.
std::optional<WriteError> publish(const std::optional<QString>& apiURL,
                                  const std::optional<QString>& token,
                                  const std::optional<QString>& mountBase,
                                  const std::optional<QStringList>& mountPaths);

// Replace one value; absent removes the key.
std::optional<WriteError> setToken(const std::optional<QString>& token);
std::optional<WriteError> setApiURL(const std::optional<QString>& apiURL);

// Writes the payload to every file; a failure on one file does not stop the next.
std::optional<WriteError> save(const SharedConfigPayload& payload);

// The files exactly as they are (absent ones as absent), to be put back by restore().
struct Snapshot {
    QList<std::optional<QByteArray>> files;
};
Snapshot snapshot();
// Puts every file back as it was, leaving alone those that still are (a file that could not be
// changed does not count as failing to be put back).
std::optional<WriteError> restore(const Snapshot& before);

} // namespace SharedConfig
