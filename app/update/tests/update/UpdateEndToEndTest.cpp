#include "app/update/tests/update/UpdateRig.h"

#include "app/tests/mountsupport/ReadOnlyFolder.h"
#include "app/update/UpdateError.h"
#include "shared/package/TarGzWriter.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <csignal>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

bool fuseAvailable() {
    return QFile::exists("/dev/fuse") && QFile::exists("/usr/bin/fusermount3");
}

QString text(UpdateError::Kind kind, const QString& path = {}) {
    return UpdateError(kind, path).description();
}

// The processes running a program, found through /proc (a relaunched kelvane is nobody's
// child here).
QList<pid_t> processesRunning(const QString& program) {
    QList<pid_t> found;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile status("/proc/" + entry + "/status");
        if (status.open(QIODevice::ReadOnly) && status.readAll().contains("State:\tZ"))
            continue;
        if (QFileInfo("/proc/" + entry + "/exe").symLinkTarget() == program)
            found.append(pid);
    }
    return found;
}

// Ends a kelvane that this test did not start, the normal way first.
void stopProcesses(const QString& program) {
    for (const pid_t pid : processesRunning(program))
        ::kill(pid, SIGTERM);
    if (!waitUntil([&] { return processesRunning(program).isEmpty(); }, 60s)) {
        for (const pid_t pid : processesRunning(program))
            ::kill(pid, SIGKILL);
    }
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

TEST(UpdateEndToEnd, InstallsBuildTwoThroughTheNormalQuitAndStartsIt) {
    UpdateRig rig;
    QString error;
    const auto package = BundlePacker::pack({rig.bundle(), rig.updates(), std::nullopt,
                                             QString("2"), rig.developerKey(), rig.notaryKey()},
                                            &error);
    ASSERT_TRUE(package) << error.toStdString();
    rig.signIn();
    rig.startInstance();
    HeadlessKelvane& kelvane = rig.kelvane();
    const bool mounts = fuseAvailable();
    if (mounts) {
        ASSERT_TRUE(waitUntil([&] { return kelvane.allDrives("mounted", 2); }, 120s))
            << kelvane.output().toStdString();
    }
    const qint64 oldPid = kelvane.pid();

    const auto installed = kelvane.run({"update", "--install"});
    EXPECT_EQ(installed.exitCode, 0) << installed.out.toStdString() << installed.err.toStdString();
    EXPECT_TRUE(installed.out.contains("Kelvane 0.1.0 (2) is available"));
    EXPECT_TRUE(installed.out.contains("Kelvane is restarting")) << installed.out.toStdString();

    // The old process goes the normal way: drives down first, then a clean exit.
    ASSERT_TRUE(kelvane.waitForExit(90s)) << kelvane.output().toStdString();
    EXPECT_EQ(kelvane.exitCode(), 0);
    const QString oldOutput = kelvane.output();
    EXPECT_TRUE(oldOutput.contains("quitting: unmounting drives")) << oldOutput.toStdString();
    if (mounts) {
        EXPECT_TRUE(oldOutput.contains("Team: inactive")) << oldOutput.toStdString();
        EXPECT_TRUE(oldOutput.contains("Marketing: inactive"));
    }

    // The new build runs from the same folder, and the script has cleaned up after itself.
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto pids = processesRunning(rig.program());
            return !pids.isEmpty() && pids.first() != oldPid &&
                   kelvane.status().value("update").toObject().value("currentBuild") == "2";
        },
        60s))
        << readAll(rig.home() + "/.local/share/kelvane/update.log").toStdString();
    EXPECT_EQ(BundleVersion::read(rig.bundle()).build, "2");
    EXPECT_TRUE(BundleSignature::verify(rig.bundle(), &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(rig.bundle() + "/bin").isWritable());
    EXPECT_TRUE(waitUntil([&] { return rig.temporaryLeftovers().isEmpty(); }, 20s))
        << rig.temporaryLeftovers().join(", ").toStdString();
    EXPECT_FALSE(QFileInfo::exists(rig.installFolder() + "/.Kelvane-update"));
    const QJsonObject status = kelvane.status();
    EXPECT_TRUE(status.value("running").toBool());
    EXPECT_TRUE(status.value("signedIn").toBool());

    // `update --check` now finds nothing newer.
    const auto checked = kelvane.run({"update", "--check"});
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_EQ(checked.out, "You're up to date\nKelvane 0.1.0 (2) is the latest build.\n");

    stopProcesses(rig.program());
}

class UpdateRefusals : public ::testing::Test {
protected:
    void SetUp() override {
        rig_ = std::make_unique<UpdateRig>();
        rig_->signIn();
        rig_->startInstance();
        pid_ = rig_->kelvane().pid();
    }
    void TearDown() override {
        if (rig_)
            stopProcesses(rig_->program());
    }

    // `kelvane update --install` against whatever the updates folder and faults now offer:
    // it must fail with the text, and leave build 1 installed, running and tidy.
    void expectRefused(const QString& expected, const char* what) {
        SCOPED_TRACE(what);
        const auto call = rig_->kelvane().run({"update", "--install"});
        EXPECT_EQ(call.exitCode, 1) << call.out.toStdString() << call.err.toStdString();
        EXPECT_TRUE(call.out.contains(expected))
            << "expected \"" << expected.toStdString() << "\" in:\n"
            << call.out.toStdString() << call.err.toStdString();
        EXPECT_TRUE(rig_->kelvane().isRunning());
        EXPECT_EQ(rig_->kelvane().pid(), pid_);
        const QJsonObject update = rig_->kelvane().status().value("update").toObject();
        EXPECT_EQ(update.value("state"), "failed");
        EXPECT_EQ(update.value("currentBuild"), "1");
        rig_->expectBuildOneUntouched();
        EXPECT_TRUE(rig_->temporaryLeftovers().isEmpty())
            << rig_->temporaryLeftovers().join(", ").toStdString();
        rig_->server().clearFaults();
        rig_->clearUpdates();
    }
    void serveFeed(const QByteArray& body, int status = 200, const QString& location = {}) {
        rig_->server().injectFault({"/downloads/latest.json", "GET", status, body,
                                    "application/json", 0, false, 1, location});
    }
    QString packageURL(const QString& scheme, const QString& host) const {
        const int port = scheme == "https" ? rig_->server().tlsPort() : rig_->server().port();
        return QStringLiteral("%1://%2:%3/downloads/%4")
            .arg(scheme, host)
            .arg(port)
            .arg(UpdateRig::kPackage);
    }
    QByteArray feed(const QString& url) const {
        return QJsonDocument(QJsonObject{{"version", "0.1.0"}, {"build", "2"}, {"url", url}})
            .toJson();
    }
    // A package of a folder "Kelvane" and the entries given, notarized.
    void publishArchive(const std::function<void(TarGzWriter&)>& entries) {
        TarGzWriter tar;
        QString error;
        ASSERT_TRUE(tar.open(rig_->updates() + '/' + UpdateRig::kPackage, &error));
        tar.addDirectory("Kelvane", 0755);
        entries(tar);
        ASSERT_TRUE(tar.finish(&error));
        rig_->notarizePackage();
    }
    // A correct build 2, with a change made after its manifest was signed.
    void publishTampered(const std::function<void(const QString& staging)>& change) {
        const QString staging = rig_->stage();
        rig_->sign(staging, rig_->developerKey());
        change(staging);
        rig_->publish(staging);
    }
    QString packagePath() const { return rig_->updates() + '/' + UpdateRig::kPackage; }

    std::unique_ptr<UpdateRig> rig_;
    qint64 pid_ = 0;
};

TEST_F(UpdateRefusals, UpToDateFeedsAndEveryTamperedReleaseLeaveBuildOneRunning) {
    HeadlessKelvane& kelvane = rig_->kelvane();
    // The same build: the up-to-date text, from the instance and from plain `kelvane update`.
    rig_->publish([&] {
        const QString staging = rig_->stage("1");
        rig_->sign(staging, rig_->developerKey());
        return staging;
    }());
    QFile::rename(packagePath(), rig_->updates() + "/Kelvane-0.1.0-1-linux-amd64.tar.gz");
    for (const QStringList& arguments : {QStringList{"update", "--check"}, QStringList{"update"}}) {
        const auto call = kelvane.run(arguments);
        EXPECT_EQ(call.exitCode, 0) << call.err.toStdString();
        EXPECT_EQ(call.out, "You're up to date\nKelvane 0.1.0 (1) is the latest build.\n");
    }
    rig_->clearUpdates();

    // Feeds.
    const QString badResponse = text(UpdateError::Kind::badResponse);
    serveFeed("<html>this is no feed</html>");
    expectRefused("Couldn't check for updates\nthe data is not valid JSON", "not JSON");
    serveFeed(R"({"version": "0.1.0"})");
    expectRefused("Couldn't check for updates\n" + badResponse, "keys missing");
    serveFeed(R"({"version": null, "build": null, "url": null})");
    expectRefused(badResponse, "nulls");
    serveFeed("{\"build\": 2, \"url\": \"" + packageURL("https", "127.0.0.1").toUtf8() + "\"}");
    expectRefused("key \"build\": expected a string, found a number", "numbers");
    serveFeed("{\"build\": \"2\", \"url\": \"" + packageURL("https", "127.0.0.1").toUtf8() +
              "\", \"notes\": \"" + QByteArray(3 << 20, 'n') + "\"}");
    expectRefused(badResponse, "huge body");
    serveFeed(
        {}, 302,
        QStringLiteral("http://localhost:%1/downloads/latest.json").arg(rig_->server().port()));
    expectRefused(badResponse, "redirect to another host");
    serveFeed(feed(packageURL("http", "127.0.0.1")));
    expectRefused(text(UpdateError::Kind::untrustedURL), "plain http");
    serveFeed(feed(packageURL("https", "localhost")));
    expectRefused(text(UpdateError::Kind::untrustedURL), "another host");

    // Packages that do not unpack, or would unpack somewhere else.
    const QString badDMG = "Update failed\n" + text(UpdateError::Kind::badDMG);
    const QString good = rig_->publish([&] {
        const QString staging = rig_->stage();
        rig_->sign(staging, rig_->developerKey());
        return staging;
    }());
    const QByteArray goodBytes = readAll(good);
    writeAll(packagePath(), goodBytes.left(goodBytes.size() / 2));
    rig_->notarizePackage();
    expectRefused(badDMG, "truncated");
    QByteArray corrupt = goodBytes;
    for (qsizetype i = corrupt.size() / 2; i < corrupt.size() / 2 + 256; ++i)
        corrupt[i] = char(corrupt[i] ^ 0x3c);
    writeAll(packagePath(), corrupt);
    rig_->notarizePackage();
    expectRefused(badDMG, "corrupt");
    writeAll(packagePath(), "plain text, not gzip\n");
    rig_->notarizePackage();
    expectRefused(badDMG, "not gzip");
    QByteArray deep = "Kelvane";
    for (int i = 0; i < 40; ++i)
        deep += "/d";
    publishArchive([&](TarGzWriter& t) { t.addBytes(deep + "/x", 0644, "x"); });
    expectRefused(badDMG, "tar bomb: deep");
    publishArchive([](TarGzWriter& t) {
        TarHeader huge;
        huge.name = "Kelvane/huge";
        huge.size = qint64(3) << 30;
        t.addRaw(huge, QByteArray(64 * 1024, '\0'), false);
    });
    expectRefused(badDMG, "tar bomb: huge");
    const QString escapeName =
        "kelvane-escape-" + QString::number(QRandomGenerator::global()->generate());
    publishArchive([&](TarGzWriter& t) {
        t.addBytes("Kelvane/../../../../" + escapeName.toUtf8(), 0644, "escaped");
    });
    expectRefused(badDMG, "traversal");
    publishArchive([&](TarGzWriter& t) {
        t.addBytes(QFile::encodeName(rig_->home() + "/" + escapeName), 0644, "escaped");
    });
    expectRefused(badDMG, "absolute name");
    EXPECT_FALSE(QFileInfo::exists(rig_->home() + "/" + escapeName));
    publishArchive([](TarGzWriter& t) { t.addSymlink("Kelvane/lib", "/usr/lib"); });
    expectRefused(badDMG, "link leaving");
    publishArchive([](TarGzWriter& t) {
        TarHeader device;
        device.name = "Kelvane/null";
        device.type = '3';
        t.addRaw(device, {});
    });
    expectRefused(badDMG, "device file");

    // Signatures.
    const QString notNotarized = "Update failed\n" + text(UpdateError::Kind::notNotarized);
    writeAll(rig_->home() + "/other", "another file");
    QString error;
    ASSERT_TRUE(
        BundlePacker::notarize(rig_->home() + "/other", rig_->notaryKey(), "other", &error));
    rig_->publish(rig_->stage(), false);
    writeAll(packagePath() + ".minisig", readAll(rig_->home() + "/other.minisig"));
    expectRefused(notNotarized, "signature for another file");
    rig_->publish(rig_->stage(), false);
    const MinisignSecretKey stranger = MinisignSecretKey::generate();
    rig_->notarizePackage(&stranger);
    expectRefused(notNotarized, "another key");
    rig_->publish(rig_->stage(), false);
    QProcess legacy;
    legacy.start(KELVANE_MINISIGN,
                 {"-S", "-l", "-s", KELVANE_NOTARY_SECRET_KEY_FILE, "-m", packagePath()});
    ASSERT_TRUE(legacy.waitForFinished(30'000) && legacy.exitCode() == 0)
        << legacy.readAllStandardError().toStdString();
    expectRefused(notNotarized, "legacy signature");
    rig_->publish(rig_->stage());
    QByteArray signature = readAll(packagePath() + ".minisig");
    signature.replace("trusted comment: file:", "trusted comment: fyle:");
    writeAll(packagePath() + ".minisig", signature);
    expectRefused(notNotarized, "edited trusted comment");
    rig_->publish(rig_->stage(), false);
    expectRefused(notNotarized, "no signature at all");

    // Bundles that are not what their manifest says, or not ours.
    const QString badSignature = "Update failed\n" + text(UpdateError::Kind::badSignature);
    publishTampered([](const QString& s) { QFile::remove(s + "/bin/kelvane-fileprovider"); });
    expectRefused(badSignature, "file missing");
    publishTampered([](const QString& s) { writeAll(s + "/bin/helper", "#!/bin/sh\n"); });
    expectRefused(badSignature, "file extra");
    publishTampered([](const QString& s) {
        QByteArray bytes = readAll(s + "/bin/kelvane");
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
        writeAll(s + "/bin/kelvane", bytes);
    });
    expectRefused(badSignature, "changed byte");
    publishTampered([](const QString& s) {
        QFile::setPermissions(s + "/Info.json", QFile::permissions(s + "/Info.json") |
                                                    QFileDevice::ExeOwner | QFileDevice::ExeOther);
    });
    expectRefused(badSignature, "changed mode");
    const QString relabelled = rig_->stage("1");
    rig_->sign(relabelled, rig_->developerKey());
    rig_->publish(relabelled);
    expectRefused(badSignature, "an older build offered as build 2");
    const MinisignSecretKey otherDeveloper = MinisignSecretKey::generate();
    const QString foreign = rig_->stage();
    rig_->sign(foreign, otherDeveloper);
    rig_->publish(foreign);
    expectRefused("Update failed\n" + text(UpdateError::Kind::wrongTeam), "another developer");

    // A correct release, but nowhere to put it.
    const QString fine = rig_->stage();
    rig_->sign(fine, rig_->developerKey());
    rig_->publish(fine);
    ReadOnlyFolder readOnly(rig_->installFolder());
    if (!readOnly.active())
        GTEST_SKIP() << "cannot make the install folder read-only here";
    expectRefused("Update failed\n" + text(UpdateError::Kind::notWritable, rig_->installFolder()),
                  "read-only install folder");
}
