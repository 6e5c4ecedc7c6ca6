#include "shared/package/FileTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace FileTree {

namespace {

struct CloseDir {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, CloseDir>;

struct Walk {
    QByteArray root;
    QString* error;
    const QList<QByteArray>& skip;
    qint64 maxNodes;
    QList<Node> nodes;

    bool fail(const QString& text) {
        if (error)
            *error = text;
        return false;
    }

    bool folder(const QByteArray& relative) {
        const QByteArray full = relative.isEmpty() ? root : root + '/' + relative;
        DirHandle dir(::opendir(full.constData()));
        if (!dir)
            return fail(QString::fromLocal8Bit(full) + ": " +
                        QString::fromLocal8Bit(strerror(errno)));
        while (const dirent* entry = ::readdir(dir.get())) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            if (relative.isEmpty() && skip.contains(name))
                continue;
            const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
            if (!node(path))
                return false;
        }
        return true;
    }

    bool node(const QByteArray& path) {
        if (nodes.size() >= maxNodes)
            return fail(QStringLiteral("more than %1 files").arg(maxNodes));
        const QByteArray full = root + '/' + path;
        struct stat st {};
        if (::lstat(full.constData(), &st) != 0)
            return fail(QString::fromLocal8Bit(full) + ": " +
                        QString::fromLocal8Bit(strerror(errno)));
        Node n{path, st.st_mode, qint64(st.st_size), {}};
        if (S_ISLNK(st.st_mode)) {
            QByteArray target(int(st.st_size) + 1, '\0');
            const ssize_t length =
                ::readlink(full.constData(), target.data(), size_t(target.size()));
            if (length < 0 || length >= target.size())
                return fail(QString::fromLocal8Bit(full) + ": unreadable link");
            target.truncate(int(length));
            n.linkTarget = target;
        }
        nodes.append(n);
        return !S_ISDIR(st.st_mode) || folder(path);
    }
};

bool chmodOne(const QByteArray& path, mode_t mode, bool writable) {
    const mode_t wanted =
        writable ? (mode | S_IWUSR) : (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
    return (mode & 07777) == wanted || ::chmod(path.constData(), wanted & 07777) == 0;
}

} // namespace

bool Node::isDirectory() const {
    return S_ISDIR(mode);
}
bool Node::isFile() const {
    return S_ISREG(mode);
}
bool Node::isSymlink() const {
    return S_ISLNK(mode);
}

std::optional<QList<Node>> list(const QString& root, QString* error, const QList<QByteArray>& skip,
                                qint64 maxNodes) {
    Walk walk{QFile::encodeName(root), error, skip, maxNodes, {}};
    if (!walk.folder({}))
        return std::nullopt;
    std::sort(walk.nodes.begin(), walk.nodes.end(),
              [](const Node& a, const Node& b) { return a.path < b.path; });
    return walk.nodes;
}

bool isContainedLinkTarget(const QByteArray& target) {
    if (target.isEmpty() || target.startsWith('/'))
        return false;
    for (const QByteArray& part : target.split('/')) {
        if (part == "..")
            return false;
    }
    return true;
}

bool setWritable(const QString& root, bool writable) {
    const QByteArray base = QFile::encodeName(root);
    struct stat st {};
    if (::lstat(base.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // Opening the folders up comes first when adding, last when taking away, so the walk can
    // always get in.
    if (writable && !chmodOne(base, st.st_mode, true))
        return false;
    QString ignored;
    const auto nodes = list(root, &ignored);
    if (!nodes)
        return false;
    bool ok = true;
    if (writable) {
        for (const Node& n : *nodes) {
            if (!n.isSymlink())
                ok = chmodOne(base + '/' + n.path, n.mode, true) && ok;
        }
        return ok;
    }
    for (auto it = nodes->crbegin(); it != nodes->crend(); ++it) {
        if (!it->isSymlink())
            ok = chmodOne(base + '/' + it->path, it->mode, false) && ok;
    }
    return chmodOne(base, st.st_mode, false) && ok;
}

void removeAll(const QString& root) {
    if (!QFileInfo::exists(root) && !QFileInfo(root).isSymLink())
        return;
    setWritable(root, true);
    QDir(root).removeRecursively();
}

} // namespace FileTree
