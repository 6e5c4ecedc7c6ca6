#pragma once

#include <QByteArray>
#include <QList>
#include <chrono>
#include <optional>
#include <sys/types.h>

// Looks at paths that may lie on a drive whose engine hangs, without ever blocking the caller
// past a limit: the looks run on a thread of their own, and one stuck in a dead FUSE daemon is
// left behind. Paths are native bytes.
namespace PathProbe {

using namespace std::chrono_literals;
inline constexpr std::chrono::milliseconds kDefaultLimit = 3s;

struct Status {
    dev_t device = 0;
    // The item itself, not what a symbolic link points at.
    bool isDirectory = false;
    bool isSymlink = false;
};

// stat-like look at each path, in order: nothing for a path that does not exist or could not
// be looked at within the limit (the limit is for all of them together).
QList<std::optional<Status>> statusOf(const QList<QByteArray>& paths,
                                      std::chrono::milliseconds limit = kDefaultLimit);

// The device number a folder has when a look follows it (stat), or nothing.
QList<std::optional<dev_t>> devicesOf(const QList<QByteArray>& paths,
                                      std::chrono::milliseconds limit = kDefaultLimit);

// The path with every symbolic link resolved (realpath), or nothing when it does not exist.
QList<std::optional<QByteArray>> realPathsOf(const QList<QByteArray>& paths,
                                             std::chrono::milliseconds limit = kDefaultLimit);

// The names a folder lists (readdir, in the file system's order, "." and ".." left out), or
// nothing when it cannot be read.
std::optional<QList<QByteArray>> namesIn(const QByteArray& folder,
                                         std::chrono::milliseconds limit = kDefaultLimit);

} // namespace PathProbe
