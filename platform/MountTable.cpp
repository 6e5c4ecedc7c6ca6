#include "platform/MountTable.h"

#include "platform/Logging.h"
#include "platform/PathText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace MountTable {

namespace {

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

QString decodeField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QString::fromUtf8(out);
}

std::optional<Entry> parseLine(const QByteArray& line) {
    const QList<QByteArray> fields = line.split(' ');
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const qsizetype separator = fields.indexOf(QByteArray("-"), 6);
    if (fields.size() < 7 || separator < 0 || separator + 2 >= fields.size())
        return std::nullopt;
    return Entry{decodeField(fields[4]), decodeField(fields[separator + 1]),
                 decodeField(fields[separator + 2])};
}

} // namespace

QList<Entry> parse(const QByteArray& mountinfo) {
    QList<Entry> entries;
    for (const QByteArray& line : mountinfo.split('\n')) {
        if (const auto entry = parseLine(line))
            entries.append(*entry);
    }
    return entries;
}

QList<Entry> read(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return parse(f.readAll());
}

std::optional<Entry> find(const QList<Entry>& entries, const QString& path) {
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (it->mountPoint == path)
            return *it;
    }
    return std::nullopt;
}

QString kernelPath(const QString& path) {
    const QString absolute = QDir::isAbsolutePath(path) ? path : QDir::current().filePath(path);
    const QString clean = PathText::cleanAbsolute(absolute);
    const QFileInfo info(clean);
    if (clean == QLatin1String("/") || info.fileName().isEmpty())
        return clean;
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (parent.isEmpty())
        return clean;
    return parent == QLatin1String("/") ? parent + info.fileName()
                                        : parent + QLatin1Char('/') + info.fileName();
}

bool isJuicefsMounted(const QString& path, const QList<Entry>& entries) {
    const QString wanted = kernelPath(path);
    const auto entry = find(entries, wanted);
    if (!entry) {
        qCDebug(lcPlatform, "mountinfo: no mount at %s", qUtf8Printable(wanted));
        return false;
    }
    qCDebug(lcPlatform, "mountinfo match: %s fstype=%s", qUtf8Printable(entry->mountPoint),
            qUtf8Printable(entry->fsType));
    return entry->fsType == kJuicefsType;
}

bool isJuicefsMounted(const QString& path) {
    return isJuicefsMounted(path, read());
}

QStringList engineMountsIn(const QString& folder) {
    const QString wanted = kernelPath(folder);
    QStringList found;
    for (const Entry& entry : read()) {
        if (entry.fsType == kJuicefsType && QFileInfo(entry.mountPoint).path() == wanted &&
            !found.contains(entry.mountPoint))
            found.append(entry.mountPoint);
    }
    return found;
}

} // namespace MountTable
