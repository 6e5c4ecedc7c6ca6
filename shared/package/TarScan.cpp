#include "shared/package/TarScan.h"

#include "shared/package/FileTree.h"
#include "shared/package/GzipStream.h"
#include "shared/package/TarHeader.h"

#include <QHash>
#include <QList>
#include <optional>

namespace TarScan {

namespace {

// What a path was: a folder entry, a folder only named as a parent, a file, a link.
enum class Seen { directory, parent, file, other };

class EntryRules {
public:
    explicit EntryRules(const Limits& limits) : limits_(limits) {}

    // Why the entry may not be unpacked, or nothing when it may.
    std::optional<QString> check(const TarHeader& h) {
        if (++entries_ > limits_.maxEntries)
            return QStringLiteral("more than %1 entries").arg(limits_.maxEntries);
        const auto path = normalise(h);
        if (!path)
            return problem_;
        if (const auto refused = checkType(h, *path))
            return refused;
        if (h.type == TarHeader::kFile || h.type == TarHeader::kOldFile) {
            bytes_ += h.size;
            if (bytes_ > limits_.maxBytes)
                return QStringLiteral("more than %1 bytes unpacked").arg(limits_.maxBytes);
        } else if (h.size != 0) {
            return QStringLiteral("%1 has data though it is no file").arg(show(h.name));
        }
        if (const auto refused = checkPlace(*path, h.type == TarHeader::kDirectory))
            return refused;
        seen_.insert(*path, h.type == TarHeader::kDirectory ? Seen::directory
                            : h.type == TarHeader::kSymlink ? Seen::other
                                                            : Seen::file);
        return std::nullopt;
    }

    qint64 entries() const { return entries_; }
    qint64 bytes() const { return bytes_; }

private:
    static QString show(const QByteArray& name) { return QString::fromUtf8(name); }

    // The name without "." parts and trailing "/"; refused when absolute, holding "..",
    // a control character, or too long or deep.
    std::optional<QByteArray> normalise(const TarHeader& h) {
        const QByteArray& name = h.name;
        if (name.isEmpty())
            return refuse(QStringLiteral("an entry has no name"));
        if (name.size() > limits_.maxNameBytes)
            return refuse(
                QStringLiteral("a name is longer than %1 bytes").arg(limits_.maxNameBytes));
        if (name.startsWith('/'))
            return refuse(QStringLiteral("absolute name %1").arg(show(name)));
        for (const char c : name) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                return refuse(QStringLiteral("a name holds a control character"));
        }
        // Old tars read a file name ending in "/" as a folder; only a folder may end so.
        if (name.endsWith('/') && h.type != TarHeader::kDirectory)
            return refuse(QStringLiteral("%1 ends in / but is no folder").arg(show(name)));
        QList<QByteArray> parts;
        for (const QByteArray& part : name.split('/')) {
            if (part == "..")
                return refuse(QStringLiteral("%1 climbs out with ..").arg(show(name)));
            if (!part.isEmpty() && part != ".")
                parts.append(part);
        }
        if (parts.isEmpty())
            return refuse(QStringLiteral("%1 names the folder itself").arg(show(name)));
        if (parts.size() > limits_.maxDepth)
            return refuse(QStringLiteral("%1 is more than %2 folders deep")
                              .arg(show(name))
                              .arg(limits_.maxDepth));
        return parts.join('/');
    }

    std::optional<QString> checkType(const TarHeader& h, const QByteArray& path) {
        if (h.mode & ~0777u)
            return QStringLiteral("%1 has set-id or sticky bits").arg(show(path));
        switch (h.type) {
        case TarHeader::kFile:
        case TarHeader::kOldFile:
        case TarHeader::kDirectory:
            return std::nullopt;
        case TarHeader::kSymlink:
            if (!FileTree::isContainedLinkTarget(h.linkName))
                return QStringLiteral("the link %1 leaves the folder").arg(show(path));
            return std::nullopt;
        case TarHeader::kHardLink: {
            TarHeader target = h;
            target.name = h.linkName;
            target.type = TarHeader::kFile;
            const auto targetPath = normalise(target);
            if (!targetPath || seen_.value(*targetPath, Seen::other) != Seen::file)
                return QStringLiteral("the hard link %1 does not name an earlier file")
                    .arg(show(path));
            return std::nullopt;
        }
        case '3':
        case '4':
            return QStringLiteral("%1 is a device").arg(show(path));
        default:
            return QStringLiteral("%1 has entry type '%2', which is not accepted")
                .arg(show(path), QChar::fromLatin1(h.type));
        }
    }

    // Nothing twice, and nothing below a file or link (tar would write through the link).
    std::optional<QString> checkPlace(const QByteArray& path, bool isDirectory) {
        const auto before = seen_.constFind(path);
        if (before != seen_.cend() && !(*before == Seen::parent && isDirectory))
            return QStringLiteral("%1 appears twice").arg(show(path));
        for (qsizetype slash = path.indexOf('/'); slash >= 0;
             slash = path.indexOf('/', slash + 1)) {
            const auto it = seen_.constFind(path.left(slash));
            if (it != seen_.cend() && *it != Seen::directory && *it != Seen::parent)
                return QStringLiteral("%1 lies below something that is no folder").arg(show(path));
            if (it == seen_.cend())
                seen_.insert(path.left(slash), Seen::parent);
        }
        return std::nullopt;
    }

    std::nullopt_t refuse(const QString& text) {
        problem_ = text;
        return std::nullopt;
    }

    const Limits& limits_;
    QHash<QByteArray, Seen> seen_;
    qint64 entries_ = 0;
    qint64 bytes_ = 0;
    QString problem_;
};

Result refused(const QString& problem) {
    return {false, problem, 0, 0};
}

bool skipData(GzipReader& gzip, qint64 size) {
    const qint64 padded =
        (size + TarHeader::kBlockBytes - 1) / TarHeader::kBlockBytes * TarHeader::kBlockBytes;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (qint64 left = padded; left > 0;) {
        const qint64 n = std::min<qint64>(left, buffer.size());
        if (!gzip.read(buffer.data(), n))
            return false;
        left -= n;
    }
    return true;
}

} // namespace

Result scan(const QString& archive, const Limits& limits) {
    GzipReader gzip;
    QString error;
    if (!gzip.open(archive, &error))
        return refused(error);
    EntryRules rules(limits);
    char block[TarHeader::kBlockBytes];
    for (;;) {
        if (!gzip.read(block, sizeof block))
            return refused(gzip.atEnd() ? QStringLiteral("the archive has no end marker")
                                        : gzip.errorString());
        if (TarHeader::isEndBlock(block))
            break;
        QByteArray why;
        const auto header = TarHeader::decode(block, &why);
        if (!header)
            return refused(QString::fromLatin1(why));
        if (const auto problem = rules.check(*header))
            return refused(*problem);
        if (!skipData(gzip, header->size))
            return refused(gzip.atEnd() ? QStringLiteral("the archive ends inside a file")
                                        : gzip.errorString());
    }
    // After the end marker only zero padding, and not much of it.
    const qint64 endAt = gzip.inflatedBytes();
    while (!gzip.atEnd()) {
        if (!gzip.read(block, sizeof block)) {
            if (gzip.atEnd())
                break;
            return refused(gzip.errorString());
        }
        if (!TarHeader::isEndBlock(block))
            return refused(QStringLiteral("data follows the end of the archive"));
        if (gzip.inflatedBytes() - endAt > limits.maxTrailingBytes)
            return refused(QStringLiteral("too much padding after the end of the archive"));
    }
    return {true, {}, rules.entries(), rules.bytes()};
}

} // namespace TarScan
