#pragma once

#include "shared/SharedConfigPayload.h"

// Publishes server address, token and mount folders to both extensions' config.json.
// Called on the main thread only, so writes never overlap.
namespace SharedConfig {

// The two files, file-provider extension first; their folders are created when missing.
QStringList configFiles();

// The content of the first file that reads and decodes, else empty.
SharedConfigPayload current();

// Merges: a value replaces the stored one only when present and non-empty, so publish never
// removes anything.
void publish(const std::optional<QString>& apiURL, const std::optional<QString>& token,
             const std::optional<QString>& mountBase, const std::optional<QStringList>& mountPaths);

// Replace one value; absent removes the key.
void setToken(const std::optional<QString>& token);
void setApiURL(const std::optional<QString>& apiURL);

// Writes the payload to every file; a failure on one file does not stop the next.
void save(const SharedConfigPayload& payload);

} // namespace SharedConfig
