#include "app/tests/mountsupport/ReadOnlyFolder.h"
#include "app/update/UpdateError.h"
#include "app/update/Updater.h"
#include "platform/UserDefaults.h"
#include "shared/WaitForTask.h"
#include "shared/package/BundleSignature.h"
#include "shared/package/BundleVersion.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestHome.h"
#include "tools/package/BundlePacker.h"

#include "tests/support/QtPrinters.h"
#include <QDir>
#include <QNetworkAccessManager>

#include <gtest/gtest.h>

namespace {

// The install chain in this process, over a dev server's HTTPS port, with keys made for the
// test: the cases that stop before any script is written.
class InstallRefusalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        certificates_.trustInThisProcess();
        QDir().mkpath(path("updates"));
        QDir().mkpath(path("tmp"));
        makeBundle(running(), "1");
        QString error;
        ASSERT_TRUE(BundleSignature::sign(running(), developer_, &error)) << error.toStdString();
        makeBundle(path("source/Kelvane"), "1");
        const auto package = BundlePacker::pack({path("source/Kelvane"), path("updates"),
                                                 std::nullopt, QString("2"), developer_, notary_},
                                                &error);
        ASSERT_TRUE(package) << error.toStdString();
        server_ = std::make_unique<DevServer>(
            DevServer::Options{true,
                               {},
                               {"--updates", path("updates"), "--tls-cert",
                                certificates_.certificate(), "--tls-key", certificates_.key()}});
        options_.bundle = running();
        options_.notaryKey = notary_.publicKey();
        options_.temporaryFolder = path("tmp");
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString running() const { return path("Apps/Kelvane"); }
    static void makeBundle(const QString& bundle, const QString& build) {
        QDir().mkpath(bundle + "/bin");
        ASSERT_TRUE((BundleVersion{"0.1.0", build}.write(bundle)));
        QFile program(bundle + "/bin/kelvane");
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\n");
    }
    UpdateRelease release(bool tls = true) const {
        const QString base = tls ? QStringLiteral("https://127.0.0.1:%1").arg(server_->tlsPort())
                                 : server_->baseURL();
        return {"0.1.0", "2", QUrl(base + "/downloads/Kelvane-0.1.0-2-linux-amd64.tar.gz"), {}};
    }
    // The text an install ends in, after checking it left nothing in the temporary folder and
    // did not ask to quit.
    QString failure(const UpdateRelease& r) {
        Updater updater(
            defaults_, network_, [this] { ++quitRequests_; }, options_);
        WaitForTask::run(updater.downloadAndInstall(r));
        EXPECT_TRUE(QDir(path("tmp")).isEmpty())
            << QDir(path("tmp")).entryList().join(", ").toStdString();
        EXPECT_EQ(quitRequests_, 0);
        EXPECT_EQ(BundleVersion::read(options_.bundle).build, "1");
        return updater.state().is(UpdateState::Kind::failed)
                   ? updater.state().message
                   : UpdateState::name(updater.state().kind);
    }
    static QString text(UpdateError::Kind kind, const QString& path = {}) {
        return UpdateError(kind, path).description();
    }

    TestHome home_;
    QTemporaryDir dir_;
    TestCertificates certificates_;
    MinisignSecretKey developer_ = MinisignSecretKey::generate();
    MinisignSecretKey notary_ = MinisignSecretKey::generate();
    std::unique_ptr<DevServer> server_;
    UserDefaults defaults_;
    QNetworkAccessManager network_;
    Updater::Options options_;
    int quitRequests_ = 0;
};

} // namespace

TEST_F(InstallRefusalsTest, DownloadsThatFailEndBeforeAnyCheck) {
    server_->injectFault({"/downloads/Kelvane-0.1.0-2-linux-amd64.tar.gz", "GET", 500, "{}"});
    EXPECT_EQ(failure(release(false)), text(UpdateError::Kind::badResponse));
    UpdateRelease missing = release();
    missing.url.setPath("/downloads/Kelvane-0.1.0-3-linux-amd64.tar.gz");
    EXPECT_EQ(failure(missing), text(UpdateError::Kind::badResponse));
    options_.maxPackageBytes = 100;
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::badDMG));
    options_.maxPackageBytes = qint64(512) << 20;
    QFile::remove(path("updates/Kelvane-0.1.0-2-linux-amd64.tar.gz.minisig"));
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::notNotarized));
}

TEST_F(InstallRefusalsTest, ARunningBundleWithoutSignatureOrInAFolderItCannotReplaceIsRefused) {
    const QString folder = running() + "/.signature";
    QDir(folder).removeRecursively();
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::wrongTeam));
    QString error;
    ASSERT_TRUE(BundleSignature::sign(running(), developer_, &error));

    ReadOnlyFolder readOnly(path("Apps"));
    if (!readOnly.active())
        GTEST_SKIP() << "cannot make a folder read-only here (neither a mode nor a bind mount)";
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::notWritable, path("Apps")));
}

TEST_F(InstallRefusalsTest, APathTheScriptCannotQuoteIsRefusedBeforeAScriptIsWritten) {
    const QString odd = path("it$s/Kelvane");
    QDir().mkpath(path("it$s"));
    ASSERT_TRUE(QDir().rename(running(), odd));
    options_.bundle = odd;
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::unsafePath, odd));
    EXPECT_FALSE(QFileInfo::exists(path("tmp/kelvane-update-") +
                                   QString::number(QCoreApplication::applicationPid()) + ".sh"));
}

TEST_F(InstallRefusalsTest, EachCheckRunsBeforeTheNext) {
    const QString package = path("updates/Kelvane-0.1.0-2-linux-amd64.tar.gz");
    // Not even gzip, and its signature is the genuine package's: the notary check comes first,
    // so it is never unpacked.
    {
        QFile junk(package);
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        junk.write("not a package at all\n");
    }
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::notNotarized));

    // Unpacks, but its manifest is broken and another developer signed it: the manifest check
    // comes before the developer's.
    makeBundle(path("foreign/Kelvane"), "2");
    const MinisignSecretKey stranger = MinisignSecretKey::generate();
    QString error;
    ASSERT_TRUE(BundleSignature::sign(path("foreign/Kelvane"), stranger, &error));
    QFile extra(path("foreign/Kelvane/bin/extra"));
    ASSERT_TRUE(extra.open(QIODevice::WriteOnly));
    extra.close();
    ASSERT_TRUE(BundlePacker::packFolder(path("foreign/Kelvane"), package, &error));
    ASSERT_TRUE(BundlePacker::notarize(package, notary_, "file", &error));
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::badSignature));
    QFile::remove(path("foreign/Kelvane/bin/extra"));
    ASSERT_TRUE(BundlePacker::packFolder(path("foreign/Kelvane"), package, &error));
    ASSERT_TRUE(BundlePacker::notarize(package, notary_, "file", &error));
    EXPECT_EQ(failure(release()), text(UpdateError::Kind::wrongTeam));
}
