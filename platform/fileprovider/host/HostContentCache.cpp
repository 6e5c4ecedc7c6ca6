#include "platform/fileprovider/host/HostContentCache.h"

#include <QFile>
#include <algorithm>

namespace {

qint64 endOf(const FileProviderRange& r) {
    return r.location + r.length;
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
        if (!out.isEmpty() && r.location <= endOf(out.last()))
            out.last().length = std::max(endOf(out.last()), endOf(r)) - out.last().location;
        else
            out.append(r);
    }
    return out;
}

void HostContentCache::drop(Kept& kept) {
    for (const Segment& piece : std::as_const(kept.pieces))
        QFile::remove(piece.file);
    kept.pieces.clear();
}

FileProviderItemPtr HostContentCache::covering(const QString& identifier,
                                               FileProviderRange range) const {
    const auto it = items_.constFind(identifier);
    if (it == items_.cend())
        return nullptr;
    const qint64 start = std::clamp<qint64>(range.location, 0, it->size);
    const qint64 end = std::clamp<qint64>(endOf(range), start, it->size);
    if (start == end)
        return start == it->size ? it->item : nullptr;
    for (const FileProviderRange& kept : ranges(identifier)) {
        if (kept.location <= start && end <= endOf(kept))
            return it->item;
    }
    return nullptr;
}

bool HostContentCache::add(const QString& identifier, FileProviderItemPtr item,
                           const QString& fetchedFile, FileProviderRange fetched, QString* error) {
    auto it = items_.find(identifier);
    if (it != items_.end() && it->item->itemVersion() != item->itemVersion()) {
        drop(*it);
        items_.erase(it);
        it = items_.end();
    }
    const QString file = dir_.filePath(QString::number(nextFile_++));
    if (!QFile::rename(fetchedFile, file)) {
        *error = QStringLiteral("cannot keep %1").arg(fetchedFile);
        QFile::remove(fetchedFile);
        return false;
    }
    if (it == items_.end())
        it = items_.insert(identifier, Kept{nullptr, item->documentSize().value_or(0), {}});
    it->item = std::move(item);
    // A piece the new one holds whole is no longer read from.
    it->pieces.removeIf([&](const Segment& piece) {
        const bool inside =
            fetched.location <= piece.range.location && endOf(piece.range) <= endOf(fetched);
        if (inside)
            QFile::remove(piece.file);
        return inside;
    });
    it->pieces.append({file, fetched});
    std::sort(it->pieces.begin(), it->pieces.end(), [](const Segment& a, const Segment& b) {
        return a.range.location < b.range.location;
    });
    return true;
}

QList<FileProviderRange> HostContentCache::ranges(const QString& identifier) const {
    QList<FileProviderRange> all;
    for (const Segment& piece : items_.value(identifier).pieces)
        all.append(piece.range);
    return merged(all);
}

QList<HostContentCache::Segment> HostContentCache::segments(const QString& identifier, qint64 from,
                                                            qint64 to) const {
    QList<Segment> out;
    const auto it = items_.constFind(identifier);
    if (it == items_.cend())
        return out;
    for (qint64 at = from; at < to;) {
        // The piece holding this byte that reaches furthest.
        const Segment* best = nullptr;
        for (const Segment& piece : it->pieces) {
            if (piece.range.location <= at && at < endOf(piece.range) &&
                (!best || endOf(piece.range) > endOf(best->range)))
                best = &piece;
        }
        if (!best)
            break;
        const qint64 end = std::min(endOf(best->range), to);
        out.append({best->file, {at, end - at}});
        at = end;
    }
    return out;
}
