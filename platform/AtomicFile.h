#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file in one step so a reader in another process sees the old or the new bytes,
// never a mix. Secret files are owner-only from the moment they exist.
namespace AtomicFile {

enum class Mode { Shared, OwnerOnly };

// Creates missing parent folders. Returns false (and leaves the old file) on any failure.
bool write(const QString& path, const QByteArray& bytes, Mode mode = Mode::Shared);

} // namespace AtomicFile
