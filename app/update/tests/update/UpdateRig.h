#pragma once

#include "app/settings/AppSettings.h"
#include "app/tests/support/HeadlessKelvane.h"
#include "platform/UserDefaults.h"
#include "shared/package/BundleSignature.h"
#include "shared/package/BundleVersion.h"
#include "shared/package/FileTree.h"
#include "shared/package/MinisignKey.h"
#include "tests/support/DevServer.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestHome.h"
#include "tools/package/BundlePacker.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

// Everything an end-to-end update test stands on: build 1 installed from this build folder
// into the test home (the bundle component only), a dev server offering whatever sits in its
// updates folder over HTTPS with a certificate authority of the test's own, and the installed
// kelvane signed in to it.
class UpdateRig {
public:
    static inline const QString kPackage = QStringLiteral("Kelvane-0.1.0-2-linux-amd64.tar.gz");

    UpdateRig() {
        QDir().mkpath(updates());
        QDir().mkpath(temporary());
        install();
        server_ = std::make_unique<DevServer>(
            DevServer::Options{true,
                               {},
                               {"--updates", updates(), "--tls-cert", certificates_.certificate(),
                                "--tls-key", certificates_.key()}});
        kelvane_ = std::make_unique<HeadlessKelvane>(home_.path(), program());
        kelvane_->setEnvironment("TMPDIR", temporary());
        QString error;
        developer_ = MinisignSecretKey::load(KELVANE_DEVELOPER_SECRET_KEY_FILE, &error);
        notary_ = MinisignSecretKey::load(KELVANE_NOTARY_SECRET_KEY_FILE, &error);
        if (!developer_ || !notary_)
            throw std::runtime_error("the build's keys: " + error.toStdString());
        manifest_ = manifestText();
    }

    QString home() const { return home_.path(); }
    QString installFolder() const { return home() + "/opt"; }
    QString bundle() const { return installFolder() + "/Kelvane"; }
    QString program() const { return bundle() + "/bin/kelvane"; }
    QString updates() const { return home() + "/updates"; }
    QString temporary() const { return home() + "/tmp"; }
    QString authority() const { return certificates_.authority(); }
    DevServer& server() { return *server_; }
    HeadlessKelvane& kelvane() { return *kelvane_; }
    const MinisignSecretKey& developerKey() const { return *developer_; }
    const MinisignSecretKey& notaryKey() const { return *notary_; }

    void signIn() {
        const auto call =
            kelvane_->signIn(server_->apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword);
        ASSERT_TRUE(call.out.startsWith("Signed in as")) << call.err.toStdString();
    }
    void startInstance() {
        // No automatic checks: on a busy machine one of its own, 15 s after launch, would take
        // a case's one-shot feed or turn its failed state back to idle.
        UserDefaults defaults; // the test home's, as HOME points there
        AppSettings settings = AppSettings::load(defaults);
        settings.automaticUpdates = false;
        ASSERT_FALSE(settings.save(defaults));
        kelvane_->start({"--ca-certificates", authority()});
        ASSERT_TRUE(kelvane_->waitForInstance()) << kelvane_->output().toStdString();
    }

    // The updates folder emptied; then what a case puts there is the only release.
    void clearUpdates() {
        QDir(updates()).removeRecursively();
        QDir().mkpath(updates());
    }
    // A copy of the installed bundle restamped as the build, ready to be signed and packed.
    QString stage(const QString& build = "2") {
        const QString staging = home() + "/stage-" + QString::number(++stages_) + "/Kelvane";
        QString error;
        EXPECT_TRUE(BundlePacker::copyTree(bundle(), staging, &error)) << error.toStdString();
        BundleVersion version = BundleVersion::read(staging);
        version.build = build;
        EXPECT_TRUE(version.write(staging));
        return staging;
    }
    void sign(const QString& staging, const MinisignSecretKey& key) {
        QString error;
        EXPECT_TRUE(BundleSignature::sign(staging, key, &error)) << error.toStdString();
    }
    // Packs the folder as the release's package and signs it with the notary key (or not).
    QString publish(const QString& staging, bool notarize = true) {
        const QString archive = updates() + '/' + kPackage;
        QString error;
        EXPECT_TRUE(BundlePacker::packFolder(staging, archive, &error)) << error.toStdString();
        if (notarize)
            notarizePackage();
        return archive;
    }
    void notarizePackage(const MinisignSecretKey* key = nullptr) {
        QString error;
        EXPECT_TRUE(BundlePacker::notarize(updates() + '/' + kPackage, key ? *key : *notary_,
                                           "file:" + kPackage.toUtf8(), &error))
            << error.toStdString();
    }

    // The bundle as installed: build 1, its signature intact, its files as signed.
    void expectBuildOneUntouched() const {
        EXPECT_EQ(BundleVersion::read(bundle()).build, "1");
        QString error;
        EXPECT_TRUE(BundleSignature::verify(bundle(), &error)) << error.toStdString();
        EXPECT_EQ(manifestText(), manifest_);
        EXPECT_FALSE(QFileInfo::exists(installFolder() + "/.Kelvane-update"));
    }
    QStringList temporaryLeftovers() const {
        return QDir(temporary()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private:
    void install() {
        QProcess cmake;
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(KELVANE_CMAKE_COMMAND, {"--install", KELVANE_BUILD_DIR, "--prefix",
                                            installFolder(), "--component", "bundle", "--strip"});
        if (!cmake.waitForFinished(120'000) || cmake.exitCode() != 0)
            throw std::runtime_error("cmake --install failed: " + cmake.readAll().toStdString());
        if (BundleVersion::read(bundle()).build != "1")
            throw std::runtime_error("the build folder is not build 1");
    }
    QByteArray manifestText() const {
        QFile f(bundle() + "/.signature/manifest");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TestHome home_;
    TestCertificates certificates_;
    std::unique_ptr<DevServer> server_;
    std::unique_ptr<HeadlessKelvane> kelvane_;
    std::optional<MinisignSecretKey> developer_;
    std::optional<MinisignSecretKey> notary_;
    QByteArray manifest_;
    int stages_ = 0;
};
