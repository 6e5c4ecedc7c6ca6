#include "shared/package/tests/PackageTestKit.h"

#include "shared/package/BundleManifest.h"
#include "shared/package/BundleSignature.h"
#include "shared/package/MinisignKey.h"

#include "tests/support/QtPrinters.h"
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace PackageTestKit;

namespace {

class BundleManifestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        makeBundle(bundle());
        QString error;
        ASSERT_TRUE(BundleSignature::sign(bundle(), key_, &error)) << error.toStdString();
    }
    QString bundle() const { return dir_.filePath("Kelvane"); }
    // Why the bundle fails its full check, or "" when it passes.
    QString refusal() const {
        QString error;
        const auto fingerprint = BundleSignature::verify(bundle(), &error);
        if (fingerprint) {
            EXPECT_EQ(*fingerprint, key_.publicKey().fingerprint());
            return {};
        }
        return error;
    }

    QTemporaryDir dir_;
    MinisignSecretKey key_ = MinisignSecretKey::generate();
};

} // namespace

TEST_F(BundleManifestTest, ListsEveryFolderFileAndLinkInOrder) {
    ASSERT_EQ(::symlink("kelvane", QFile::encodeName(bundle() + "/bin/kelvane-link")), 0);
    QString error;
    const auto manifest = BundleManifest::ofFolder(bundle(), &error);
    ASSERT_TRUE(manifest) << error.toStdString();
    QStringList lines;
    for (const auto& e : manifest->entries())
        lines.append(QStringLiteral("%1 %2 %3")
                         .arg(QChar(char(e.kind)))
                         .arg(e.mode, 0, 8)
                         .arg(QString::fromUtf8(e.path)));
    EXPECT_EQ(lines, (QStringList{"f 644 Info.json", "d 755 bin", "f 755 bin/kelvane",
                                  "l 777 bin/kelvane-link", "d 755 share", "d 755 share/kelvane",
                                  "f 644 share/kelvane/readme.txt"}));
    const auto reread = BundleManifest::parse(manifest->toText(), &error);
    ASSERT_TRUE(reread) << error.toStdString();
    EXPECT_EQ(reread->entries(), manifest->entries());
    EXPECT_TRUE(reread->differences(*manifest).isEmpty());
}

TEST_F(BundleManifestTest, ASignedBundleVerifiesAndNamesItsSigner) {
    EXPECT_EQ(refusal(), QString());
    QString error;
    EXPECT_EQ(BundleSignature::signer(bundle(), &error), key_.publicKey().fingerprint());
    // Write permission is the installer's business, not the signature's.
    ASSERT_TRUE(QFile::setPermissions(bundle() + "/share/kelvane/readme.txt",
                                      QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                          QFileDevice::ReadOther));
    EXPECT_EQ(refusal(), QString());
}

TEST_F(BundleManifestTest, RefusesAFileMissingExtraChangedOrWithAnotherMode) {
    const QString readme = bundle() + "/share/kelvane/readme.txt";
    QFile::remove(readme);
    EXPECT_EQ(refusal(), "the bundle differs from its manifest: missing share/kelvane/readme.txt");
    writeFile(readme, "hello\n");
    EXPECT_EQ(refusal(), QString());

    writeFile(bundle() + "/bin/helper", "extra");
    EXPECT_EQ(refusal(), "the bundle differs from its manifest: extra bin/helper");
    QFile::remove(bundle() + "/bin/helper");
    QDir().mkpath(bundle() + "/lib");
    EXPECT_EQ(refusal(), "the bundle differs from its manifest: extra lib");
    QDir().rmdir(bundle() + "/lib");

    writeFile(readme, "hellO\n");
    EXPECT_EQ(refusal(), "the bundle differs from its manifest: changed share/kelvane/readme.txt");
    writeFile(readme, "hello\n");

    ASSERT_TRUE(QFile::setPermissions(readme, kExecutable));
    EXPECT_EQ(refusal(), "the bundle differs from its manifest: mode of share/kelvane/readme.txt");
    ASSERT_TRUE(QFile::setPermissions(readme, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(refusal(), "the bundle differs from its manifest: mode of share/kelvane/readme.txt");
}

TEST_F(BundleManifestTest, RefusesAnEditedManifestAnotherKeyAndStrangersInTheSignatureFolder) {
    const QString folder = bundle() + "/.signature";
    const QByteArray manifest = readAll(folder + "/manifest");

    QByteArray edited = manifest;
    edited.replace("f 644", "f 755");
    writeFile(folder + "/manifest", edited);
    EXPECT_EQ(refusal(), "manifest: the signature does not match the file");
    writeFile(folder + "/manifest", manifest);

    // A key swapped in beside the signature does not match it.
    writeFile(folder + "/developer.pub", MinisignSecretKey::generate().publicKey().toText());
    EXPECT_TRUE(refusal().startsWith("manifest: signed with key"));
    writeFile(folder + "/developer.pub", key_.publicKey().toText());
    EXPECT_EQ(refusal(), QString());

    writeFile(folder + "/notes", "rides along");
    EXPECT_TRUE(refusal().startsWith(".signature holds developer.pub, manifest, manifest.minisig, "
                                     "notes"));
    QFile::remove(folder + "/notes");
    QFile::remove(folder + "/manifest.minisig");
    EXPECT_TRUE(refusal().startsWith(".signature holds"));
    QString error;
    EXPECT_FALSE(BundleSignature::signer(bundle(), &error));
}

TEST_F(BundleManifestTest, WillNotDescribeLinksLeavingTheBundleOrSpecialFiles) {
    QString error;
    ASSERT_EQ(::symlink("../../etc/passwd", QFile::encodeName(bundle() + "/bin/out")), 0);
    EXPECT_FALSE(BundleSignature::sign(bundle(), key_, &error));
    EXPECT_EQ(error, "the link bin/out leaves the bundle");
    QFile::remove(bundle() + "/bin/out");
    ASSERT_EQ(::symlink("/etc/passwd", QFile::encodeName(bundle() + "/bin/out")), 0);
    EXPECT_FALSE(BundleManifest::ofFolder(bundle(), &error));
    QFile::remove(bundle() + "/bin/out");
    ASSERT_EQ(::mkfifo(QFile::encodeName(bundle() + "/bin/pipe").constData(), 0644), 0);
    EXPECT_FALSE(BundleManifest::ofFolder(bundle(), &error));
    EXPECT_EQ(error, "bin/pipe is not a file, folder or link");
    QFile::remove(bundle() + "/bin/pipe");
    writeFile(bundle() + "/bin/line\nbreak", "x");
    EXPECT_FALSE(BundleManifest::ofFolder(bundle(), &error));
    EXPECT_TRUE(error.startsWith("a name holds a control character"));
}

TEST(BundleManifestText, RefusesMalformedAndUnorderedLines) {
    const QByteArray digest(64, 'a');
    QString error;
    EXPECT_TRUE(BundleManifest::parse(
        "kelvane-manifest 1\nd 755 - bin\nf 755 " + digest + " bin/a b\n", &error));
    EXPECT_FALSE(BundleManifest::parse(
        "kelvane-manifest 1\nf 755 " + digest + " b\nf 755 " + digest + " a\n", &error));
    EXPECT_EQ(error, "manifest line 3 is out of order");
    EXPECT_FALSE(BundleManifest::parse("kelvane-manifest 1\nf 755 " + digest + " a", &error));
    EXPECT_FALSE(BundleManifest::parse("kelvane-manifest 2\n", &error));
    EXPECT_FALSE(BundleManifest::parse("kelvane-manifest 1\nf 755 abc a\n", &error));
    EXPECT_FALSE(BundleManifest::parse("kelvane-manifest 1\nx 755 - a\n", &error));
    EXPECT_FALSE(BundleManifest::parse("kelvane-manifest 1\nd 7777 - a\n", &error));
    EXPECT_FALSE(BundleManifest::parse("kelvane-manifest 1\nd 755 - \n", &error));
}
