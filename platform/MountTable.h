#pragma once

#include <QList>
#include <QString>
#include <optional>

// The kernel's table of mounted file systems as this process sees it (/proc/self/mountinfo).
// Reading it never touches a mounted file system, so a hung engine cannot block it.
namespace MountTable {

struct Entry {
    QString mountPoint;
    QString fsType;
    QString source;
    bool operator==(const Entry&) const = default;
};

inline const QString kJuicefsType = QStringLiteral("fuse.juicefs");

// Parses mountinfo text; octal escapes such as \040 are decoded. Malformed lines are skipped.
QList<Entry> parse(const QByteArray& mountinfo);
QList<Entry> read(const QString& file = QStringLiteral("/proc/self/mountinfo"));

// The mount visible at exactly this path: when several are stacked there, the last one.
std::optional<Entry> find(const QList<Entry>& entries, const QString& path);

// The form the kernel reports a path in: lexically cleaned, with the parent folder's symbolic
// links resolved when it exists. Touches the parent folder, so call it off the main thread.
QString kernelPath(const QString& path);

// Whether an engine mount sits at the path (compared in kernel form). Logs what it found.
bool isJuicefsMounted(const QString& path, const QList<Entry>& entries);
bool isJuicefsMounted(const QString& path);

// Engine mounts directly inside the folder (in kernel form). Touches the folder's parents.
QStringList engineMountsIn(const QString& folder);

} // namespace MountTable
