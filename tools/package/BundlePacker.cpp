#include "tools/package/BundlePacker.h"

#include "shared/package/BundleSignature.h"
#include "shared/package/BundleVersion.h"
#include "shared/package/FileTree.h"
#include "shared/package/MinisignSignature.h"
#include "shared/package/TarGzWriter.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kTopFolder = "Kelvane";

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

bool isSafeNamePart(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != '.' && c != '_' && c != '+' &&
            c != '~')
            return false;
    }
    return true;
}

bool writeText(const QString& path, const QByteArray& text, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return fail(error, path + ": " + file.errorString());
    return true;
}

} // namespace

bool BundlePacker::packFolder(const QString& bundle, const QString& archive, QString* error) {
    const auto nodes = FileTree::list(bundle, error);
    if (!nodes)
        return false;
    TarGzWriter tar;
    if (!tar.open(archive, error))
        return false;
    // Group and others never get write permission from a package.
    bool ok = tar.addDirectory(kTopFolder, 0755);
    for (const FileTree::Node& n : *nodes) {
        if (!ok)
            break;
        const QByteArray name = kTopFolder + '/' + n.path;
        const unsigned mode = unsigned(n.mode & 0755);
        if (n.isDirectory())
            ok = tar.addDirectory(name, mode);
        else if (n.isSymlink())
            ok = tar.addSymlink(name, n.linkTarget);
        else if (n.isFile())
            ok = tar.addFile(name, mode, bundle + '/' + QFile::decodeName(n.path));
        else
            return fail(error, QFile::decodeName(n.path) + " is not a file, folder or link");
    }
    if (!ok)
        return fail(error, tar.errorString());
    return tar.finish(error);
}

QString BundlePacker::packageName(const QString& version, const QString& build) {
    return QStringLiteral("Kelvane-%1-%2-linux-amd64.tar.gz").arg(version, build);
}

bool BundlePacker::copyTree(const QString& from, const QString& to, QString* error) {
    const auto nodes = FileTree::list(from, error);
    if (!nodes || !QDir().mkpath(to))
        return nodes && fail(error, "cannot create " + to);
    for (const FileTree::Node& n : *nodes) {
        const QString source = from + '/' + QFile::decodeName(n.path);
        const QString target = to + '/' + QFile::decodeName(n.path);
        if (n.isDirectory()) {
            if (!QDir().mkdir(target))
                return fail(error, "cannot create " + target);
        } else if (n.isSymlink()) {
            if (::symlink(n.linkTarget.constData(), QFile::encodeName(target).constData()) != 0)
                return fail(error, "cannot link " + target);
        } else if (n.isFile()) {
            if (!QFile::copy(source, target) ||
                ::chmod(QFile::encodeName(target), n.mode & 07777) != 0)
                return fail(error, "cannot copy " + source);
        } else {
            return fail(error, source + " is not a file, folder or link");
        }
    }
    // Folder modes last, deepest first, so a read-only folder is filled before it closes.
    for (auto it = nodes->crbegin(); it != nodes->crend(); ++it) {
        const QByteArray target = QFile::encodeName(to) + '/' + it->path;
        if (it->isDirectory() && ::chmod(target.constData(), it->mode & 07777) != 0)
            return fail(error, "cannot set the mode of " + QFile::decodeName(target));
    }
    return true;
}

std::optional<BundlePacker::Package> BundlePacker::pack(const Request& request, QString* error) {
    if (!QFileInfo(request.bundle + '/' + BundleVersion::kFileName).isFile()) {
        fail(error, request.bundle + " is not a Kelvane bundle (it has no Info.json)");
        return std::nullopt;
    }
    QTemporaryDir scratch(QDir::tempPath() + "/kelvane-package-XXXXXX");
    const QString staging = scratch.filePath(QString::fromLatin1(kTopFolder));
    if (!scratch.isValid() || !copyTree(request.bundle, staging, error))
        return std::nullopt;
    BundleVersion version = BundleVersion::read(staging);
    version.version = request.version.value_or(version.version);
    version.build = request.build.value_or(version.build);
    if (!isSafeNamePart(version.version) || !isSafeNamePart(version.build)) {
        fail(error, QStringLiteral("version \"%1\" and build \"%2\" must be letters, digits and "
                                   ". _ + ~ only")
                        .arg(version.version, version.build));
        return std::nullopt;
    }
    if ((request.version || request.build) && !version.write(staging)) {
        fail(error, "cannot restamp " + staging + "/Info.json");
        return std::nullopt;
    }
    if (!BundleSignature::sign(staging, request.developerKey, error))
        return std::nullopt;
    if (!QDir().mkpath(request.outputFolder)) {
        fail(error, "cannot create " + request.outputFolder);
        return std::nullopt;
    }
    const QString name = packageName(version.version, version.build);
    const Package package{request.outputFolder + '/' + name,
                          request.outputFolder + '/' + name + ".minisig"};
    // No time stamp in the comment: the same package is signed with the same bytes.
    const QByteArray comment = "file:" + name.toUtf8() + "\tversion:" + version.version.toUtf8() +
                               "\tbuild:" + version.build.toUtf8();
    if (!packFolder(staging, package.archive, error) ||
        !notarize(package.archive, request.notaryKey, comment, error))
        return std::nullopt;
    return package;
}

bool BundlePacker::notarize(const QString& archive, const MinisignSecretKey& key,
                            const QByteArray& trustedComment, QString* error) {
    const auto signature = MinisignSignature::signFile(archive, key, trustedComment, error);
    return signature && writeText(archive + ".minisig", signature->toText(), error);
}
