#include "tools/devserver/FilesTree.h"

#include "tools/devserver/ApiRefusal.h"
#include "tools/devserver/Workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QMimeDatabase>
#include <algorithm>
#include <filesystem>

namespace {

QString isoWithMilliseconds(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

// Looking a name up in the MIME database costs far more than listing it, so each extension is
// looked up once.
QString mimeTypeFor(const QString& name) {
    static std::mutex mutex;
    static QHash<QString, QString> bySuffix;
    const qsizetype dot = name.lastIndexOf('.');
    const QString suffix = dot < 0 ? QString() : name.mid(dot).toLower();
    std::lock_guard lock(mutex);
    const auto known = bySuffix.constFind(suffix);
    if (known != bySuffix.constEnd())
        return *known;
    static const QMimeDatabase types;
    const QString type = types.mimeTypeForFile("x" + suffix, QMimeDatabase::MatchExtension).name();
    bySuffix.insert(suffix, type);
    return type;
}

QJsonObject entryFor(const QFileInfo& info, const QString& name) {
    const bool folder = info.isDir();
    QJsonObject entry{{"name", name},
                      {"type", folder ? "directory" : "file"},
                      {"size", folder ? 0 : info.size()},
                      {"modified_at", isoWithMilliseconds(info.lastModified())}};
    entry.insert("mime_type",
                 folder ? QJsonValue(QJsonValue::Null) : QJsonValue(mimeTypeFor(name)));
    return entry;
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

} // namespace

QString FilesTree::locate(const ServerPath& path) const {
    if (path.isRoot())
        return workspace_.dataDir() + "/filespaces";
    if (!workspace_.filespace(path.filespace()))
        throw ApiRefusal::notFound("Not found: " + path.text());
    QString location = workspace_.filespaceDir(path.filespace());
    for (const QString& piece : path.inside()) {
        location += '/' + piece;
        if (QFileInfo(location).isSymLink())
            throw ApiRefusal::notFound("Not found: " + path.text());
    }
    return location;
}

QString FilesTree::existingFolder(const ServerPath& path) const {
    const QString location = locate(path);
    const QFileInfo info(location);
    if (!info.exists())
        throw ApiRefusal::notFound("Not found: " + path.text());
    if (!info.isDir())
        throw ApiRefusal::badRequest("Not a folder: " + path.text());
    return location;
}

void FilesTree::refuseFilespaceLevel(const ServerPath& path, const char* what) const {
    if (path.isRoot() || path.isFilespaceRoot())
        throw ApiRefusal::forbidden(QStringLiteral("Cannot %1 the workspace root or a filespace: ")
                                        .arg(QLatin1String(what)) +
                                    path.text());
}

QJsonArray FilesTree::list(const ServerPath& folder) const {
    QList<QJsonObject> entries;
    if (folder.isRoot()) {
        for (const FilespaceRecord& filespace : workspace_.filespaces())
            entries.append(entryFor(QFileInfo(workspace_.filespaceDir(filespace.mountName)),
                                    filespace.mountName));
    } else {
        const QDir dir(existingFolder(folder));
        const auto found = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                             QDir::NoDotAndDotDot);
        for (const QFileInfo& info : found) {
            if (!info.isSymLink() && (info.isDir() || info.isFile()))
                entries.append(entryFor(info, info.fileName()));
        }
        std::sort(entries.begin(), entries.end(), [](const QJsonObject& a, const QJsonObject& b) {
            return a.value("name").toString() < b.value("name").toString();
        });
    }
    QJsonArray array;
    for (const QJsonObject& entry : entries)
        array.append(entry);
    return array;
}

void FilesTree::remove(const ServerPath& path) {
    refuseFilespaceLevel(path, "delete");
    std::lock_guard lock(mutex_);
    const QString location = locate(path);
    const QFileInfo info(location);
    if (!info.exists())
        throw ApiRefusal::notFound("Not found: " + path.text());
    const bool removed =
        info.isDir() ? QDir(location).removeRecursively() : QFile::remove(location);
    if (!removed)
        throw ApiRefusal::diskError("Cannot delete " + path.text());
}

void FilesTree::makeFolder(const ServerPath& path) {
    refuseFilespaceLevel(path, "create folders in");
    std::lock_guard lock(mutex_);
    existingFolder(path.parent());
    const QString location = locate(path);
    if (QFileInfo::exists(location))
        throw ApiRefusal::conflict("Already exists: " + path.text());
    if (!QDir().mkdir(location))
        throw ApiRefusal::diskError("Cannot create " + path.text());
}

void FilesTree::move(const ServerPath& from, const ServerPath& to) {
    refuseFilespaceLevel(from, "move");
    refuseFilespaceLevel(to, "move items onto");
    if (from == to)
        return;
    if (to.isWithin(from))
        throw ApiRefusal::badRequest("Cannot move a folder into itself: " + to.text());
    std::lock_guard lock(mutex_);
    const QString source = locate(from);
    if (!QFileInfo::exists(source))
        throw ApiRefusal::notFound("Not found: " + from.text());
    existingFolder(to.parent());
    const QString target = locate(to);
    if (QFileInfo::exists(target))
        throw ApiRefusal::conflict("Already exists: " + to.text());
    std::error_code ec;
    std::filesystem::rename(fsPath(source), fsPath(target), ec);
    if (ec)
        throw ApiRefusal::diskError("Cannot move " + from.text() + ": " +
                                    QString::fromStdString(ec.message()));
}

QString FilesTree::existingFile(const ServerPath& path) const {
    if (path.isRoot() || path.isFilespaceRoot())
        throw ApiRefusal::badRequest("Not a file: " + path.text());
    const QString location = locate(path);
    const QFileInfo info(location);
    if (!info.exists())
        throw ApiRefusal::notFound("Not found: " + path.text());
    if (!info.isFile())
        throw ApiRefusal::badRequest("Not a file: " + path.text());
    return location;
}

QString FilesTree::placeForFile(const ServerPath& path) const {
    refuseFilespaceLevel(path, "write files onto");
    existingFolder(path.parent());
    const QString location = locate(path);
    if (QFileInfo(location).isDir())
        throw ApiRefusal::conflict("A folder has this name: " + path.text());
    return location;
}

void FilesTree::moveIntoPlace(const QString& finishedFile, const ServerPath& path) {
    std::lock_guard lock(mutex_);
    const QString target = placeForFile(path);
    std::error_code ec;
    std::filesystem::rename(fsPath(finishedFile), fsPath(target), ec);
    if (ec)
        throw ApiRefusal::diskError("Cannot write " + path.text() + ": " +
                                    QString::fromStdString(ec.message()));
}
