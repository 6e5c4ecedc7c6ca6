#include "platform/fileprovider/host/HostContentCache.h"

#include <QFile>
#include <algorithm>

namespace {

constexpr qint64 kCopyChunk = 4 * 1024 * 1024;

// Copies the range between two files of the same layout, chunk by chunk.
bool copyRange(const QString& from, const QString& to, FileProviderRange range, QString* error) {
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::ReadWrite)) {
        *error = in.isOpen() ? out.errorString() : in.errorString();
        return false;
    }
    if (!in.seek(range.location) || !out.seek(range.location)) {
        *error = QStringLiteral("cannot seek to %1").arg(range.location);
        return false;
    }
    qint64 left = range.length;
    while (left > 0) {
        const QByteArray chunk = in.read(std::min(left, kCopyChunk));
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            *error = chunk.isEmpty() ? in.errorString() : out.errorString();
            return false;
        }
        left -= chunk.size();
    }
    return true;
}

} // namespace

HostContentCache::HostContentCache() : dir_(QDir::tempPath() + "/kelvane-host-XXXXXX") {}

QList<FileProviderRange> HostContentCache::merged(QList<FileProviderRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const auto& a, const auto& b) { return a.location < b.location; });
    QList<FileProviderRange> out;
    for (const FileProviderRange& r : ranges) {
        if (r.length <= 0)
            continue;
        if (!out.isEmpty() && r.location <= out.last().location + out.last().length) {
            const qint64 end =
                std::max(out.last().location + out.last().length, r.location + r.length);
            out.last().length = end - out.last().location;
        } else {
            out.append(r);
        }
    }
    return out;
}

std::optional<HostContentCache::Hit> HostContentCache::covering(const QString& identifier,
                                                                FileProviderRange range) const {
    const auto it = items_.constFind(identifier);
    if (it == items_.cend())
        return std::nullopt;
    const qint64 start = std::clamp<qint64>(range.location, 0, it->size);
    const qint64 end = std::clamp<qint64>(range.location + range.length, start, it->size);
    if (start == end)
        return start == it->size ? std::optional(Hit{it->file, it->item}) : std::nullopt;
    for (const FileProviderRange& kept : it->ranges) {
        if (kept.location <= start && end <= kept.location + kept.length)
            return Hit{it->file, it->item};
    }
    return std::nullopt;
}

std::optional<QString> HostContentCache::add(const QString& identifier, FileProviderItemPtr item,
                                             const QString& fetchedFile, FileProviderRange fetched,
                                             QString* error) {
    const qint64 itemSize = item->documentSize().value_or(0);
    auto it = items_.find(identifier);
    if (it != items_.end() && it->item->itemVersion() != item->itemVersion()) {
        QFile::remove(it->file);
        items_.erase(it);
        it = items_.end();
    }
    if (it == items_.end()) {
        const QString file = dir_.filePath(QString::number(nextFile_++));
        if (!QFile::rename(fetchedFile, file)) {
            *error = QStringLiteral("cannot keep %1").arg(fetchedFile);
            QFile::remove(fetchedFile);
            return std::nullopt;
        }
        items_.insert(identifier, Kept{std::move(item), itemSize, file, merged({fetched})});
        return file;
    }
    const bool copied = copyRange(fetchedFile, it->file, fetched, error);
    QFile::remove(fetchedFile);
    if (!copied)
        return std::nullopt;
    it->item = std::move(item);
    it->ranges.append(fetched);
    it->ranges = merged(it->ranges);
    return it->file;
}

QList<FileProviderRange> HostContentCache::ranges(const QString& identifier) const {
    return items_.value(identifier).ranges;
}
