#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file in one step so a reader in another process sees the old or the new bytes,
// never a mix. Secret files are owner-only from the moment they exist.
namespace AtomicFile {

enum class Mode { Shared, OwnerOnly };

// Creates missing parent folders. Returns false (and leaves the old file) on any failure, with
// the platform's reason in `error` when one is given.
bool write(const QString& path, const QByteArray& bytes, Mode mode = Mode::Shared,
           QString* error = nullptr);

} // namespace AtomicFile
