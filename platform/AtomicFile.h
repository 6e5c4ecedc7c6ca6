#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file in one step so a reader in another process sees the old or the new bytes,
// never a mix. Secret files are owner-only from the moment they exist.
namespace AtomicFile {

// Shared: the mode the file has (or the default for a new one); OwnerOnly: 0600; Executable:
// 0755, a program others may run.
enum class Mode { Shared, OwnerOnly, Executable };

// Creates missing parent folders. Returns false (and leaves the old file) on any failure, with
// the platform's reason in `error` when one is given.
bool write(const QString& path, const QByteArray& bytes, Mode mode = Mode::Shared,
           QString* error = nullptr);

} // namespace AtomicFile
