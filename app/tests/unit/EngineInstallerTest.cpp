#include "app/mount/EngineInstaller.h"
#include "app/mount/FileDigest.h"
#include "app/mount/MountError.h"
#include "app/tests/mountsupport/MountTestKit.h"
#include "app/tests/mountsupport/ReadOnlyFolder.h"
#include "shared/KelvaneError.h"
#include "tests/support/DevServer.h"
#include "tests/support/FileMode.h"
#include "tests/support/TestHome.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using MountTestKit::await;

const QString kArchive = QStringLiteral("juicefs-1.3.1-linux-amd64.tar.gz");

QString sha256Of(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

class EngineInstallerTest : public ::testing::Test {
protected:
    // One server for the suite (it takes a while to start); each test empties its downloads
    // folder and its faults first.
    static void SetUpTestSuite() {
        downloads_ = new QTemporaryDir;
        server_ = new DevServer(DevServer::Options{true, {}, {"--downloads", downloads_->path()}});
    }
    static void TearDownTestSuite() {
        delete server_;
        delete downloads_;
    }

    void SetUp() override {
        server_->clearFaults();
        QDir(downloads_->path()).removeRecursively();
        QDir().mkpath(downloads_->path());
        // Scratch folders and the downloaded archive land in a temporary folder of our own.
        previousTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp_.path().toUtf8());
    }
    void TearDown() override { qputenv("TMPDIR", previousTmp_); }

    // Packs the files (relative path → content) into the served archive; returns its SHA-256.
    QString publishArchive(const QMap<QString, QByteArray>& files) {
        QTemporaryDir source;
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(source.filePath(it.key()), it.value());
        QStringList args{"-czf", downloads_->filePath(kArchive), "-C", source.path()};
        args << files.keys();
        QProcess tar;
        tar.start("/usr/bin/tar", args);
        EXPECT_TRUE(tar.waitForFinished()) << "tar did not finish";
        EXPECT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
        return sha256Of(readAll(downloads_->filePath(kArchive)));
    }

    DevServer& server() { return *server_; }

    EngineSource source(const QString& sha256) { return {"1.3.1", kArchive, QString(), sha256}; }

    // Installs with the server's API address as the only hint of where to download from.
    void install(const QString& sha256) {
        await(EngineInstaller::ensureInstalled(network_, source(sha256), QUrl(server().apiURL())));
    }

    MountError installFailure(const QString& sha256) {
        try {
            install(sha256);
        } catch (const MountError& e) {
            return e;
        }
        throw std::runtime_error("the install did not fail with a MountError");
    }

    QStringList leftovers() const {
        return QDir(tmp_.path())
            .entryList({"jfs-*", "kelvane-engine-*"}, QDir::AllEntries | QDir::Hidden);
    }

    static inline QTemporaryDir* downloads_ = nullptr;
    static inline DevServer* server_ = nullptr;
    TestHome home_;
    QTemporaryDir tmp_;
    QByteArray previousTmp_;
    QNetworkAccessManager network_;
};

TEST_F(EngineInstallerTest, InstallsFromTheServersOriginAndRecordsTheChecksum) {
    const QString sha = publishArchive({{"juicefs", "engine build 1"}, {"LICENSE", "text"}});
    install(sha);

    const QString binary = EngineInstaller::installLocation();
    EXPECT_EQ(binary, home_.file(".kelvane/bin/juicefs"));
    EXPECT_EQ(readAll(binary), "engine build 1");
    EXPECT_EQ(modeOf(binary), QFileDevice::Permissions(0x7055));
    EXPECT_EQ(readAll(EngineInstaller::installedMarker()), sha.toUtf8());
    EXPECT_EQ(EngineInstaller::installedMarker(), home_.file(".kelvane/bin/juicefs.installed"));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(", ").toStdString();
    EXPECT_EQ(QDir(home_.file(".kelvane/bin")).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(EngineInstallerTest, MarkerWithTrailingNewlineSkipsTheDownloadUntilTheBinaryGoes) {
    const QByteArray engine = readAll(MountTestKit::standInEngine());
    const QString sha = publishArchive({{"juicefs", engine}});
    MountTestKit::installEngine(MountTestKit::standInEngine());
    writeFile(EngineInstaller::installedMarker(), sha.toUtf8() + "\n");
    // Any download now fails, so a success proves nothing was fetched.
    server().injectFault({"/downloads/*", "", 0, {}, {}, 0, true, 0});

    install(sha);
    EXPECT_EQ(readAll(EngineInstaller::installLocation()), engine);

    QFile::remove(EngineInstaller::installLocation());
    EXPECT_THROW(install(sha), TransportError);
    server().clearFaults();
    install(sha);
    EXPECT_EQ(readAll(EngineInstaller::installLocation()), engine);
}

TEST_F(EngineInstallerTest, AnInstalledEngineThatDoesNotRunIsInstalledAgainOnce) {
    const QByteArray engine = readAll(MountTestKit::standInEngine());
    const QString sha = publishArchive({{"juicefs", engine}});
    install(sha);
    ASSERT_TRUE(await(EngineInstaller::answersVersion(EngineInstaller::installLocation())));

    // Damaged in place, its marker intact: "Exec format error" at every start until repaired.
    writeFile(EngineInstaller::installLocation(), "\x7f"
                                                  "ELF garbage");
    EXPECT_FALSE(await(EngineInstaller::answersVersion(EngineInstaller::installLocation())));
    install(sha);
    EXPECT_EQ(readAll(EngineInstaller::installLocation()), engine);
    EXPECT_TRUE(await(EngineInstaller::answersVersion(EngineInstaller::installLocation())));

    // One repair per launch: an archive that itself holds a broken engine is installed once,
    // and the mount then reports what the engine does.
    const QString brokenSha = publishArchive({{"juicefs", "not a program"}});
    install(brokenSha);
    EXPECT_FALSE(await(EngineInstaller::answersVersion(EngineInstaller::installLocation())));
}

TEST_F(EngineInstallerTest, ErrorPageIsRefusedWithTheStartOfItsChecksum) {
    const QString sha = publishArchive({{"juicefs", "engine"}});
    writeFile(EngineInstaller::installedMarker(), "previous");
    const QByteArray page = "<html><body>Service unavailable</body></html>";
    server().injectFault({"/downloads/" + kArchive, "GET", 503, page, "text/html", 0, false, 1});

    const MountError error = installFailure(sha);
    EXPECT_EQ(error.kind(), MountError::Kind::juicefsDownloadFailed);
    EXPECT_EQ(error.description(),
              "Couldn't download JuiceFS (checksum mismatch — refusing to install (got " +
                  sha256Of(page).left(12) + "…)). Check your internet connection and try again.");
    EXPECT_FALSE(QFile::exists(EngineInstaller::installLocation()));
    EXPECT_EQ(readAll(EngineInstaller::installedMarker()), "previous");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EngineInstallerTest, ArchiveWithTheBinaryInASubFolderIsRefused) {
    const QString sha = publishArchive({{"juicefs-1.3.1/juicefs", "nested engine"}});
    const MountError error = installFailure(sha);
    EXPECT_EQ(error.payload(), "archive had no juicefs binary");
    EXPECT_FALSE(QFile::exists(EngineInstaller::installLocation()));
    EXPECT_FALSE(QFile::exists(EngineInstaller::installedMarker()));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(", ").toStdString();
}

TEST_F(EngineInstallerTest, ArchiveThatDoesNotUnpackReportsTarsStatus) {
    writeFile(downloads_->filePath(kArchive), "these bytes are not gzip data");
    const MountError error = installFailure(sha256Of("these bytes are not gzip data"));
    EXPECT_EQ(error.payload(), "extract failed (tar 2)");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EngineInstallerTest, ReadOnlyInstallFolderFailsAndKeepsTheOldCopy) {
    const QString sha = publishArchive({{"juicefs", "new engine"}});
    writeFile(EngineInstaller::installLocation(), "old engine");
    writeFile(EngineInstaller::installedMarker(), "old checksum");
    ReadOnlyFolder lock(QFileInfo(EngineInstaller::installLocation()).path());
    if (!lock.active())
        GTEST_SKIP() << "cannot make a folder read-only here";

    try {
        install(sha);
        FAIL() << "installed into a read-only folder";
    } catch (const TransportError& e) {
        EXPECT_TRUE(e.description().contains("Read-only file system") ||
                    e.description().contains("Permission denied"))
            << e.description().toStdString();
    }
    EXPECT_EQ(readAll(EngineInstaller::installLocation()), "old engine");
    EXPECT_EQ(readAll(EngineInstaller::installedMarker()), "old checksum");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EngineInstallerTest, NoUsableDownloadAddressIsABadURL) {
    for (const auto& [base, api] : std::vector<std::pair<QString, std::optional<QUrl>>>{
             {"", std::nullopt}, {"::not a url::", std::nullopt}}) {
        try {
            await(EngineInstaller::ensureInstalled(network_, {"1.3.1", kArchive, base, "x"}, api));
            ADD_FAILURE() << "no failure for base " << base.toStdString();
        } catch (const MountError& e) {
            EXPECT_EQ(e.payload(), "bad URL");
        }
    }
}

TEST_F(EngineInstallerTest, UnreachableServerFailsWithThePlatformsText) {
    try {
        await(EngineInstaller::ensureInstalled(
            network_, {"1.3.1", kArchive, "http://127.0.0.1:1", "x"}, std::nullopt));
        FAIL() << "a refused connection counted as a download";
    } catch (const TransportError& e) {
        EXPECT_TRUE(e.description().contains("refused", Qt::CaseInsensitive))
            << e.description().toStdString();
    }
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST(EngineLocation, PrivateCopyComesFirstThenTheOtherPlacesInOrder) {
    TestHome home;
    QTemporaryDir elsewhere;
    const QString plain = elsewhere.filePath("plain");
    const QString tool = elsewhere.filePath("tool");
    writeFile(plain, "x");
    writeFile(tool, "x");
    QFile::setPermissions(tool, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    EXPECT_EQ(EngineInstaller::findBinary({}), std::nullopt);
    EXPECT_EQ(EngineInstaller::findBinary({plain, tool}), tool);
    EXPECT_EQ(EngineInstaller::findBinary({elsewhere.path(), tool}), tool);
    MountTestKit::installEngine(tool);
    EXPECT_EQ(EngineInstaller::findBinary({tool}), EngineInstaller::installLocation());
}

TEST(EngineLocation, DownloadAddressUsesTheApiOriginOnlyWhenNoBaseIsSet) {
    const EngineSource pinned{"1.3.1", kArchive, "", "x"};
    EXPECT_EQ(EngineInstaller::downloadURL(pinned, QUrl("https://ws.example:8443/api/v1?x=1")),
              QUrl("https://ws.example:8443/downloads/" + kArchive));
    const EngineSource fixed{"1.3.1", kArchive, "https://dl.example/base/", "x"};
    EXPECT_EQ(EngineInstaller::downloadURL(fixed, QUrl("https://ws.example/api")),
              QUrl("https://dl.example/base/downloads/" + kArchive));
    EXPECT_EQ(EngineInstaller::downloadURL(pinned, std::nullopt), std::nullopt);
}

TEST(EngineDigest, MatchesAnIndependentSha256) {
    QTemporaryDir dir;
    QByteArray bytes;
    for (int i = 0; i < 300'000; ++i)
        bytes += char(i * 31 % 251);
    writeFile(dir.filePath("big"), bytes);
    writeFile(dir.filePath("abc"), "abc");
    EXPECT_EQ(FileDigest::sha256(dir.filePath("big")).hex, sha256Of(bytes));
    EXPECT_EQ(FileDigest::sha256(dir.filePath("abc")).hex,
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const FileDigest::Result missing = FileDigest::sha256(dir.filePath("none"));
    EXPECT_TRUE(missing.hex.isEmpty());
    EXPECT_FALSE(missing.error.isEmpty());
}

} // namespace
