#include "shared/package/tests/PackageTestKit.h"

#include "shared/package/BundleManifest.h"
#include "shared/package/BundleSignature.h"
#include "shared/package/MinisignKey.h"
#include "shared/package/TarScan.h"

#include "tests/support/QtPrinters.h"
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace PackageTestKit;

// kelvane-package as a developer runs it.
class PackagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        makeBundle(bundle(), "8");
        ASSERT_EQ(::symlink("kelvane", QFile::encodeName(bundle() + "/bin/kelvane-alias")), 0);
        QDir().mkpath(bundle() + "/lib");
        ASSERT_EQ(tool({"keygen", path("dev.pub"), path("dev.key")}).exitCode, 0);
        ASSERT_EQ(tool({"keygen", path("notary.pub"), path("notary.key")}).exitCode, 0);
        ASSERT_EQ(tool({"sign", bundle(), "--developer-key", path("dev.key")}).exitCode, 0);
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString bundle() const { return path("install/Kelvane"); }
    ToolRun tool(const QStringList& arguments) const {
        return run(KELVANE_PACKAGE_TOOL, arguments);
    }
    ToolRun pack(const QString& out, const QStringList& extra = {}) const {
        return tool(QStringList{"pack", bundle(), out, "--developer-key", path("dev.key"),
                                "--notary-key", path("notary.key")} +
                    extra);
    }
    QString fingerprintOf(const QString& publicKey) const {
        QString error;
        return MinisignPublicKey::load(publicKey, &error)->fingerprint();
    }

    QTemporaryDir dir_;
};

TEST_F(PackagerTest, SignsAndVerifiesAnInstalledBundle) {
    const ToolRun verified = tool({"verify", bundle()});
    EXPECT_EQ(verified.exitCode, 0) << verified.output.toStdString();
    EXPECT_EQ(verified.output.trimmed(), fingerprintOf(path("dev.pub")));
    writeFile(bundle() + "/share/kelvane/readme.txt", "changed\n");
    const ToolRun refused = tool({"verify", bundle()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.output.contains("changed share/kelvane/readme.txt"));
    EXPECT_EQ(tool({"sign", bundle(), "--developer-key", path("missing.key")}).exitCode, 1);
    EXPECT_EQ(tool({"pack", bundle()}).exitCode, 2);
}

TEST_F(PackagerTest, PacksTheSameBytesEveryTimeAndLeavesTheBundleAlone) {
    const QByteArray manifestBefore = readAll(bundle() + "/.signature/manifest");
    const ToolRun first = pack(path("out1"), {"--build", "9"});
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    ASSERT_EQ(pack(path("out2"), {"--build", "9"}).exitCode, 0);
    const QString name = "Kelvane-1.2.3-9-linux-amd64.tar.gz";
    EXPECT_EQ(first.output, path("out1/" + name) + "\n" + path("out1/" + name) + ".minisig\n");
    EXPECT_EQ(readAll(path("out1/" + name)), readAll(path("out2/" + name)));
    EXPECT_EQ(readAll(path("out1/" + name + ".minisig")),
              readAll(path("out2/" + name + ".minisig")));
    EXPECT_FALSE(readAll(path("out1/" + name)).isEmpty());

    EXPECT_EQ(BundleVersion::read(bundle()).build, "8");
    EXPECT_EQ(readAll(bundle() + "/.signature/manifest"), manifestBefore);
    EXPECT_EQ(tool({"verify", bundle()}).exitCode, 0);

    // Without --build the package keeps the bundle's own number.
    ASSERT_EQ(pack(path("out3")).exitCode, 0);
    EXPECT_TRUE(QFile::exists(path("out3/Kelvane-1.2.3-8-linux-amd64.tar.gz")));
    // A version that would not survive in a file name is refused.
    EXPECT_EQ(pack(path("out4"), {"--version", "1 0/x"}).exitCode, 1);
}

TEST_F(PackagerTest, ThePackageUnpacksWithTarAndVerifiesWithMinisign) {
    ASSERT_EQ(pack(path("out"), {"--build", "9", "--version", "2.0.0"}).exitCode, 0);
    const QString package = path("out/Kelvane-2.0.0-9-linux-amd64.tar.gz");
    const TarScan::Result scan = TarScan::scan(package);
    EXPECT_TRUE(scan.ok) << scan.problem.toStdString();

    const ToolRun verified =
        run(KELVANE_MINISIGN, {"-V", "-H", "-p", path("notary.pub"), "-m", package});
    EXPECT_EQ(verified.exitCode, 0) << verified.output.toStdString();
    EXPECT_TRUE(verified.output.contains(
        "file:Kelvane-2.0.0-9-linux-amd64.tar.gz\tversion:2.0.0\tbuild:9"));

    QDir().mkpath(path("unpacked"));
    const ToolRun unpacked = run("/usr/bin/tar", {"--no-same-owner", "--preserve-permissions",
                                                  "-xzf", package, "-C", path("unpacked")});
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.output.toStdString();
    const QString inside = path("unpacked/Kelvane");
    QString error;
    EXPECT_EQ(BundleSignature::verify(inside, &error), fingerprintOf(path("dev.pub")))
        << error.toStdString();
    EXPECT_EQ(BundleVersion::read(inside).build, "9");
    EXPECT_EQ(BundleVersion::read(inside).version, "2.0.0");
    EXPECT_TRUE(QFileInfo(inside + "/bin/kelvane-alias").isSymLink());
    EXPECT_TRUE(QFileInfo(inside + "/lib").isDir());
    EXPECT_TRUE(QFileInfo(inside + "/bin/kelvane").isExecutable());
}
