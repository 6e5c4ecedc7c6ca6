#include "shared/package/tests/PackageTestKit.h"

#include "shared/package/MinisignKey.h"
#include "shared/package/MinisignSignature.h"

#include "tests/support/QtPrinters.h"
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace PackageTestKit;

// Our signatures and keys against the minisign tool itself, both ways.
class MinisignInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The build needs minisign for its keys, so a machine without it cannot get here.
        ASSERT_TRUE(QFileInfo(KELVANE_MINISIGN).isExecutable())
            << "minisign is not installed (see scripts/packages.txt)";
        ASSERT_TRUE(dir_.isValid());
        writeFile(file(), PackageCrypto::randomBytes(300'000));
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString file() const { return path("package.tar.gz"); }
    ToolRun minisign(const QStringList& arguments) const {
        return run(KELVANE_MINISIGN, arguments);
    }
    // A key pair made by minisign (no password).
    std::pair<QString, QString> minisignKeys() const {
        const ToolRun made = minisign({"-G", "-W", "-f", "-p", path("m.pub"), "-s", path("m.key")});
        EXPECT_EQ(made.exitCode, 0) << made.output.toStdString();
        return {path("m.pub"), path("m.key")};
    }

    QTemporaryDir dir_;
};

TEST_F(MinisignInteropTest, MinisignVerifiesOurSignaturesAndUsesOurKeys) {
    const MinisignSecretKey key = MinisignSecretKey::generate();
    writeFile(path("our.pub"), key.publicKey().toText());
    writeFile(path("our.key"), key.toText());
    QString error;
    const auto signature =
        MinisignSignature::signFile(file(), key, "file:package.tar.gz\tbuild:2", &error);
    ASSERT_TRUE(signature) << error.toStdString();
    writeFile(file() + ".minisig", signature->toText());

    // -H insists on the prehashed form.
    ToolRun verified = minisign({"-V", "-H", "-p", path("our.pub"), "-m", file()});
    EXPECT_EQ(verified.exitCode, 0) << verified.output.toStdString();
    EXPECT_TRUE(verified.output.contains("Trusted comment: file:package.tar.gz\tbuild:2"));
    verified = minisign({"-V", "-P", QString::fromLatin1(key.publicKey().base64()), "-m", file()});
    EXPECT_EQ(verified.exitCode, 0) << verified.output.toStdString();

    // minisign signs with a secret key we wrote, and we verify what it made.
    const ToolRun signedByTool = minisign({"-S", "-s", path("our.key"), "-m", file(), "-x",
                                           path("tool.minisig"), "-t", "made by minisign"});
    ASSERT_EQ(signedByTool.exitCode, 0) << signedByTool.output.toStdString();
    const auto parsed = MinisignSignature::parse(readAll(path("tool.minisig")), &error);
    ASSERT_TRUE(parsed) << error.toStdString();
    EXPECT_TRUE(parsed->verifyFile(file(), key.publicKey(), &error)) << error.toStdString();

    // And minisign refuses our signature for other bytes.
    writeFile(path("other"), "other bytes");
    writeFile(path("other.minisig"), signature->toText());
    EXPECT_NE(minisign({"-V", "-p", path("our.pub"), "-m", path("other")}).exitCode, 0);
}

TEST_F(MinisignInteropTest, WeVerifyMinisignsSignaturesAndRefuseItsLegacyForm) {
    const auto [pubPath, keyPath] = minisignKeys();
    QString error;
    const auto pub = MinisignPublicKey::load(pubPath, &error);
    const auto secret = MinisignSecretKey::load(keyPath, &error);
    ASSERT_TRUE(pub && secret) << error.toStdString();
    EXPECT_EQ(secret->publicKey(), *pub);

    ASSERT_EQ(
        minisign({"-S", "-s", keyPath, "-m", file(), "-t", "timestamp:1\tfile:package"}).exitCode,
        0);
    auto signature = MinisignSignature::parse(readAll(file() + ".minisig"), &error);
    ASSERT_TRUE(signature) << error.toStdString();
    EXPECT_EQ(signature->algorithm(), "ED");
    EXPECT_TRUE(signature->verifyFile(file(), *pub, &error)) << error.toStdString();
    EXPECT_FALSE(signature->verifyFile(file(), MinisignSecretKey::generate().publicKey(), &error));

    // An edited trusted comment in minisign's own file.
    QByteArray edited = readAll(file() + ".minisig");
    edited.replace("timestamp:1", "timestamp:2");
    signature = MinisignSignature::parse(edited, &error);
    ASSERT_TRUE(signature);
    EXPECT_FALSE(signature->verifyFile(file(), *pub, &error));
    EXPECT_EQ(error, "the trusted comment's signature does not verify");

    ASSERT_EQ(
        minisign({"-S", "-l", "-s", keyPath, "-m", file(), "-x", path("legacy.minisig")}).exitCode,
        0);
    signature = MinisignSignature::parse(readAll(path("legacy.minisig")), &error);
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->algorithm(), "Ed");
    EXPECT_FALSE(signature->verifyFile(file(), *pub, &error));
    EXPECT_EQ(error, "legacy signature (not prehashed) refused");
}
