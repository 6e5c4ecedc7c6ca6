#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <sys/types.h>

// Everything below a folder as the file system holds it (links are not followed), in byte
// order of the relative paths, so a parent always comes before its children.
namespace FileTree {

struct Node {
    QByteArray path; // relative, "/"-separated, as the file system spells it
    mode_t mode = 0; // lstat's st_mode: type and permission bits
    qint64 size = 0;
    QByteArray linkTarget; // for symbolic links
    bool isDirectory() const;
    bool isFile() const;
    bool isSymlink() const;
};

// The nodes below root; nothing (and the reason) when a folder cannot be read or there are
// more than maxNodes. A top-level name in skip is left out with everything below it.
std::optional<QList<Node>> list(const QString& root, QString* error,
                                const QList<QByteArray>& skip = {}, qint64 maxNodes = 1'000'000);

// Whether a link target stays inside the tree from anywhere: relative, not empty, and without
// ".." (which would climb out through another link).
bool isContainedLinkTarget(const QByteArray& target);

// Adds or removes write permission everywhere below root (and on root); false when a change
// failed. Links are left alone.
bool setWritable(const QString& root, bool writable);
// Deletes the tree, giving write permission back first so read-only folders go too.
void removeAll(const QString& root);

} // namespace FileTree
