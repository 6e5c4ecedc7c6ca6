#pragma once

#include "tools/devserver/ServerPath.h"

#include <QJsonArray>
#include <QString>
#include <mutex>

class Workspace;

// The workspace's files as the files API sees them: the root lists the filespaces as folders,
// each filespace is its plain data folder. Refusals are thrown as ApiRefusal with the text the
// client gets. Symbolic links are never followed, so no path reaches outside a filespace.
class FilesTree {
public:
    explicit FilesTree(const Workspace& workspace) : workspace_(workspace) {}

    // The folder's entries ({name, type, size, modified_at, mime_type}) sorted by name.
    QJsonArray list(const ServerPath& folder) const;
    // Removes a file, or a folder with everything in it.
    void remove(const ServerPath& path);
    // Creates one folder in an existing one.
    void makeFolder(const ServerPath& path);
    // Renames a file or folder; the destination must not exist yet.
    void move(const ServerPath& from, const ServerPath& to);

    // Where an existing file lies on disk.
    QString existingFile(const ServerPath& path) const;
    // Where a file at path may be written: its folder exists and no folder has the name.
    QString placeForFile(const ServerPath& path) const;
    // Moves a finished file (on the same disk) into place, replacing a file of that name.
    void moveIntoPlace(const QString& finishedFile, const ServerPath& path);

private:
    // The location on disk; throws 404 for an unknown filespace or a path through a link.
    QString locate(const ServerPath& path) const;
    QString existingFolder(const ServerPath& path) const;
    void refuseFilespaceLevel(const ServerPath& path, const char* what) const;

    const Workspace& workspace_;
    // Check-then-act steps of changes run one at a time.
    std::mutex mutex_;
};
