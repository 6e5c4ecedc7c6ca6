#include "shared/package/BundleManifest.h"

#include "shared/package/FileTree.h"
#include "shared/package/PackageCrypto.h"

#include <QFile>
#include <QMap>
#include <sys/stat.h>

namespace {

const QByteArray kHeader = "kelvane-manifest 1";
const QByteArray kSignatureFolder = ".signature";
// Write bits are the installer's to give; read and execute bits are signed.
constexpr unsigned kSignedBits = 0555;

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

bool isPrintablePath(const QByteArray& path) {
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    return !path.isEmpty();
}

QString show(const QByteArray& path) {
    return QString::fromUtf8(path);
}

std::optional<BundleManifest::Entry> entryOf(const QString& bundle, const FileTree::Node& n,
                                             QString* error) {
    if (!isPrintablePath(n.path)) {
        fail(error, QStringLiteral("a name holds a control character: %1").arg(show(n.path)));
        return std::nullopt;
    }
    if (n.mode & (S_ISUID | S_ISGID | S_ISVTX)) {
        fail(error, QStringLiteral("set-id or sticky bits on %1").arg(show(n.path)));
        return std::nullopt;
    }
    BundleManifest::Entry e;
    e.path = n.path;
    e.mode = unsigned(n.mode & 0777);
    if (n.isDirectory()) {
        e.kind = BundleManifest::Kind::directory;
        e.digest = "-";
    } else if (n.isSymlink()) {
        if (!FileTree::isContainedLinkTarget(n.linkTarget)) {
            fail(error, QStringLiteral("the link %1 leaves the bundle").arg(show(n.path)));
            return std::nullopt;
        }
        e.kind = BundleManifest::Kind::symlink;
        e.mode = 0777;
        e.digest = PackageCrypto::sha256(n.linkTarget).toHex();
    } else if (n.isFile()) {
        e.kind = BundleManifest::Kind::file;
        const auto digest =
            PackageCrypto::sha256File(bundle + '/' + QFile::decodeName(n.path), error);
        if (!digest)
            return std::nullopt;
        e.digest = digest->toHex();
    } else {
        fail(error, QStringLiteral("%1 is not a file, folder or link").arg(show(n.path)));
        return std::nullopt;
    }
    return e;
}

std::optional<BundleManifest::Entry> parseLine(const QByteArray& line) {
    // Kind, mode and digest are single words; the path is the rest of the line.
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : line.indexOf(' ', first + 1);
    const qsizetype third = second < 0 ? -1 : line.indexOf(' ', second + 1);
    if (first != 1 || third < 0)
        return std::nullopt;
    BundleManifest::Entry e;
    const char kind = line[0];
    if (kind != 'd' && kind != 'f' && kind != 'l')
        return std::nullopt;
    e.kind = BundleManifest::Kind(kind);
    bool ok = false;
    e.mode = line.mid(first + 1, second - first - 1).toUInt(&ok, 8);
    if (!ok || e.mode > 0777)
        return std::nullopt;
    e.digest = line.mid(second + 1, third - second - 1);
    e.path = line.mid(third + 1);
    const bool digestOk =
        e.kind == BundleManifest::Kind::directory
            ? e.digest == "-"
            : e.digest.size() == 64 && QByteArray::fromHex(e.digest).toHex() == e.digest;
    if (!digestOk || !isPrintablePath(e.path))
        return std::nullopt;
    return e;
}

} // namespace

std::optional<BundleManifest> BundleManifest::ofFolder(const QString& bundle, QString* error) {
    const auto nodes = FileTree::list(bundle, error, {kSignatureFolder});
    if (!nodes)
        return std::nullopt;
    BundleManifest manifest;
    for (const FileTree::Node& n : *nodes) {
        const auto entry = entryOf(bundle, n, error);
        if (!entry)
            return std::nullopt;
        manifest.entries_.append(*entry);
    }
    return manifest;
}

std::optional<BundleManifest> BundleManifest::parse(const QByteArray& text, QString* error) {
    if (!text.endsWith('\n')) {
        fail(error, QStringLiteral("the manifest is cut short"));
        return std::nullopt;
    }
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    if (lines.isEmpty() || lines.first() != kHeader) {
        fail(error, QStringLiteral("not a bundle manifest"));
        return std::nullopt;
    }
    BundleManifest manifest;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const auto entry = parseLine(lines[i]);
        if (!entry) {
            fail(error, QStringLiteral("manifest line %1 is malformed").arg(i + 1));
            return std::nullopt;
        }
        if (!manifest.entries_.isEmpty() && !(manifest.entries_.last().path < entry->path)) {
            fail(error, QStringLiteral("manifest line %1 is out of order").arg(i + 1));
            return std::nullopt;
        }
        manifest.entries_.append(*entry);
    }
    return manifest;
}

QByteArray BundleManifest::toText() const {
    QByteArray text = kHeader + '\n';
    for (const Entry& e : entries_) {
        text += char(e.kind);
        text += ' ' + QByteArray::number(e.mode, 8) + ' ' + e.digest + ' ' + e.path + '\n';
    }
    return text;
}

QStringList BundleManifest::differences(const BundleManifest& actual) const {
    QMap<QByteArray, Entry> present;
    for (const Entry& e : actual.entries_)
        present.insert(e.path, e);
    QStringList found;
    for (const Entry& expected : entries_) {
        const auto it = present.constFind(expected.path);
        if (it == present.cend()) {
            found.append("missing " + show(expected.path));
            continue;
        }
        if (it->kind != expected.kind || it->digest != expected.digest)
            found.append("changed " + show(expected.path));
        else if ((it->mode & kSignedBits) != (expected.mode & kSignedBits))
            found.append("mode of " + show(expected.path));
        present.remove(expected.path);
    }
    for (const Entry& extra : present)
        found.append("extra " + show(extra.path));
    return found;
}
