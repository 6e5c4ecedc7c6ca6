#include "shared/package/BundleSignature.h"
#include "shared/package/BundleVersion.h"
#include "shared/package/FileTree.h"
#include "shared/package/MinisignKey.h"

#include "tests/support/QtPrinters.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every entry of a tree, relative, leaving out the named top-level entries.
QStringList entries(const QString& root, const QList<QByteArray>& skip = {}) {
    QString error;
    const auto nodes = FileTree::list(root, &error, skip);
    EXPECT_TRUE(nodes) << error.toStdString();
    QStringList names;
    for (const FileTree::Node& n : nodes.value_or(QList<FileTree::Node>{}))
        names.append(QFile::decodeName(n.path));
    return names;
}

// The base64 line of a minisign key file (its second line).
QByteArray keyLine(const QString& path) {
    return readAll(path).split('\n').value(1).trimmed();
}

} // namespace

// `cmake --install` lays out the build's bundle as it is in the build folder, signed with the
// developer key, with no secret key inside and the notary's public key compiled into kelvane.
TEST(InstalledBundle, IsTheBuildsBundleSignedAndHoldsNoSecret) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(KELVANE_CMAKE_COMMAND, {"--install", KELVANE_BUILD_DIR, "--prefix", prefix.path(),
                                        "--component", "bundle"});
    ASSERT_TRUE(cmake.waitForFinished(120'000));
    ASSERT_EQ(cmake.exitCode(), 0) << cmake.readAll().toStdString();
    const QString installed = prefix.filePath("Kelvane");
    const QString built = QStringLiteral(KELVANE_BUILD_DIR) + "/Kelvane";

    EXPECT_EQ(entries(installed, {".signature"}), entries(built));
    EXPECT_TRUE(entries(built).contains("bin/kelvane"));
    EXPECT_EQ(BundleVersion::read(installed).build, BundleVersion::read(built).build);
    EXPECT_EQ(entries(installed + "/.signature"),
              (QStringList{"developer.pub", "manifest", "manifest.minisig"}));

    QString error;
    const auto developer = MinisignSecretKey::load(KELVANE_DEVELOPER_SECRET_KEY_FILE, &error);
    ASSERT_TRUE(developer) << error.toStdString();
    const auto signer = BundleSignature::verify(installed, &error);
    ASSERT_TRUE(signer) << error.toStdString();
    EXPECT_EQ(*signer, developer->publicKey().fingerprint());

    // The keys stay in the build folder, outside the bundle.
    const QByteArray developerSecret = keyLine(KELVANE_DEVELOPER_SECRET_KEY_FILE);
    const QByteArray notarySecret = keyLine(KELVANE_NOTARY_SECRET_KEY_FILE);
    ASSERT_FALSE(developerSecret.isEmpty());
    ASSERT_FALSE(notarySecret.isEmpty());
    for (const QString& name : entries(installed)) {
        const QByteArray bytes = readAll(installed + '/' + name);
        EXPECT_FALSE(bytes.contains(developerSecret)) << name.toStdString();
        EXPECT_FALSE(bytes.contains(notarySecret)) << name.toStdString();
    }
    EXPECT_TRUE(
        readAll(installed + "/bin/kelvane").contains(keyLine(KELVANE_NOTARY_PUBLIC_KEY_FILE)));
}
