#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

class Workspace;

struct StorageTotals {
    qint64 usedBytes = 0;
    qint64 fileCount = 0;
    qint64 dirCount = 0;
};

// The filespaces' files as plain files in their data folders.
class FilespaceStore {
public:
    struct WriteResult {
        int status = 200; // an HTTP status: 400 bad path, 404 unknown filespace, 500 disk error
        QString error;
        QString workspacePath; // "/" + mount name + "/" + path, on success
    };

    explicit FilespaceStore(const Workspace& workspace) : workspace_(workspace) {}

    // The path with "/" separators and no empty, "." or ".." part; nothing when it has none left
    // or tries to climb out.
    static std::optional<QString> cleanRelativePath(const QString& path);

    WriteResult write(const QString& mountName, const QString& path, const QByteArray& bytes) const;

    // Bytes, files and folders below every filespace folder (the folders themselves not counted).
    StorageTotals totals() const;

private:
    const Workspace& workspace_;
};
