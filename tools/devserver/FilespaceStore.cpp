#include "tools/devserver/FilespaceStore.h"

#include "platform/AtomicFile.h"
#include "tools/devserver/Workspace.h"

#include <QStringList>
#include <filesystem>

namespace {

void addTotals(const std::filesystem::path& root, StorageTotals& totals) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        if (ec)
            break;
        if (fs::is_directory(status)) {
            ++totals.dirCount;
        } else if (fs::is_regular_file(status)) {
            ++totals.fileCount;
            totals.usedBytes += static_cast<qint64>(it->file_size(ec));
        }
    }
}

} // namespace

std::optional<QString> FilespaceStore::cleanRelativePath(const QString& path) {
    QStringList parts;
    for (const QString& part : path.split('/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            return std::nullopt;
        if (part != QLatin1String("."))
            parts.append(part);
    }
    if (parts.isEmpty())
        return std::nullopt;
    return parts.join('/');
}

FilespaceStore::WriteResult FilespaceStore::write(const QString& mountName, const QString& path,
                                                  const QByteArray& bytes) const {
    if (!workspace_.filespace(mountName))
        return {404, "Unknown filespace: " + mountName, {}};
    const auto relative = cleanRelativePath(path);
    if (!relative)
        return {400, "Invalid path: " + path, {}};
    if (!AtomicFile::write(workspace_.filespaceDir(mountName) + "/" + *relative, bytes))
        return {500, "Cannot write " + *relative, {}};
    return {200, {}, "/" + mountName + "/" + *relative};
}

StorageTotals FilespaceStore::totals() const {
    StorageTotals totals;
    for (const FilespaceRecord& filespace : workspace_.filespaces())
        addTotals(workspace_.filespaceDir(filespace.mountName).toStdString(), totals);
    return totals;
}
