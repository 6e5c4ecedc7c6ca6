#pragma once

#include <QString>
#include <QStringList>

// The items the user keeps downloaded, by server path, in pinned.json beside config.json.
// Reads may run together from any thread; a change excludes every other access, so a
// read-modify-write is never interleaved. Failures read as "not pinned" and writes that fail
// are dropped.
namespace PinStore {

inline const QString kQueueLabel = QStringLiteral("kelvane.pinstore");

// The extension's configuration folder, created when missing (errors ignored).
QString configDir();
QString pinFile();

bool isPinned(const QString& path);
// Every pinned path, in ascending order.
QStringList pinnedPaths();
void setPinned(bool pinned, const QString& path);

} // namespace PinStore
