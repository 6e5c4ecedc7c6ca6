#include "shared/package/BundleSignature.h"

#include "shared/package/BundleManifest.h"
#include "shared/package/BundleVersion.h"
#include "shared/package/FileTree.h"
#include "shared/package/MinisignSignature.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace BundleSignature {

namespace {

// The manifest of a large bundle is still far below this.
constexpr qint64 kMaxManifestBytes = 16 * 1024 * 1024;
constexpr qint64 kMaxSmallFileBytes = 64 * 1024;

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

QString folderOf(const QString& bundle) {
    return bundle + '/' + kFolder;
}

std::optional<QByteArray> readLimited(const QString& path, qint64 limit, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, kFolder + '/' + QFileInfo(path).fileName() + ": " + file.errorString());
        return std::nullopt;
    }
    if (file.size() > limit) {
        fail(error, QFileInfo(path).fileName() + " is too large");
        return std::nullopt;
    }
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return fail(error, path + ": " + file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    return file.commit() || fail(error, path + ": " + file.errorString());
}

// Exactly the three files, plain files all: anything else there would ride along unsigned.
bool folderHoldsOnlyItsFiles(const QString& bundle, QString* error) {
    const auto nodes = FileTree::list(folderOf(bundle), error, {}, 16);
    if (!nodes)
        return false;
    QStringList names;
    for (const FileTree::Node& n : *nodes) {
        if (!n.isFile())
            return fail(error, kFolder + '/' + QFile::decodeName(n.path) + " is not a file");
        names.append(QFile::decodeName(n.path));
    }
    const QStringList expected{kPublicKey, kManifest, kSignature};
    if (names != expected)
        return fail(error,
                    kFolder + " holds " + names.join(", ") + " instead of " + expected.join(", "));
    return true;
}

struct SignedManifest {
    QByteArray text;
    QString fingerprint;
};

std::optional<SignedManifest> readSigned(const QString& bundle, QString* error) {
    const QString folder = folderOf(bundle);
    const auto keyText = readLimited(folder + '/' + kPublicKey, kMaxSmallFileBytes, error);
    const auto signatureText =
        keyText ? readLimited(folder + '/' + kSignature, kMaxSmallFileBytes, error) : std::nullopt;
    const auto manifestText = signatureText
                                  ? readLimited(folder + '/' + kManifest, kMaxManifestBytes, error)
                                  : std::nullopt;
    if (!manifestText)
        return std::nullopt;
    const auto key = MinisignPublicKey::parse(*keyText, error);
    const auto signature = key ? MinisignSignature::parse(*signatureText, error) : std::nullopt;
    if (!signature)
        return std::nullopt;
    QString reason;
    if (!signature->verifyBytes(*manifestText, *key, &reason)) {
        fail(error, "manifest: " + reason);
        return std::nullopt;
    }
    return SignedManifest{*manifestText, key->fingerprint()};
}

} // namespace

bool sign(const QString& bundle, const MinisignSecretKey& key, QString* error) {
    const QString folder = folderOf(bundle);
    if (QFileInfo::exists(folder))
        FileTree::removeAll(folder);
    const auto manifest = BundleManifest::ofFolder(bundle, error);
    if (!manifest)
        return false;
    if (!QDir().mkpath(folder))
        return fail(error, "cannot create " + folder);
    const QByteArray text = manifest->toText();
    const BundleVersion version = BundleVersion::read(bundle);
    const QByteArray comment =
        "kelvane bundle " + version.version.toUtf8() + " build " + version.build.toUtf8();
    const MinisignSignature signature = MinisignSignature::signBytes(text, key, comment);
    return writeFile(folder + '/' + kManifest, text, error) &&
           writeFile(folder + '/' + kSignature, signature.toText(), error) &&
           writeFile(folder + '/' + kPublicKey, key.publicKey().toText(), error);
}

std::optional<QString> verify(const QString& bundle, QString* error) {
    if (!folderHoldsOnlyItsFiles(bundle, error))
        return std::nullopt;
    const auto signedManifest = readSigned(bundle, error);
    if (!signedManifest)
        return std::nullopt;
    const auto expected = BundleManifest::parse(signedManifest->text, error);
    const auto actual = expected ? BundleManifest::ofFolder(bundle, error) : std::nullopt;
    if (!actual)
        return std::nullopt;
    const QStringList differences = expected->differences(*actual);
    if (!differences.isEmpty()) {
        fail(error, "the bundle differs from its manifest: " + differences.join(", "));
        return std::nullopt;
    }
    return signedManifest->fingerprint;
}

std::optional<QString> signer(const QString& bundle, QString* error) {
    const auto signedManifest = readSigned(bundle, error);
    if (!signedManifest)
        return std::nullopt;
    return signedManifest->fingerprint;
}

} // namespace BundleSignature
