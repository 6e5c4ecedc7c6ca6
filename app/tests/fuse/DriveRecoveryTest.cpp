#include "app/tests/support/HeadlessKelvane.h"
#include "platform/EngineProcesses.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr qint64 kMiB = 1024 * 1024;

bool fuseAvailable() {
    return QFile::exists("/dev/fuse") && QFile::exists("/usr/bin/fusermount3");
}

QByteArray sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

// Writes random bytes through the drive; the file's SHA-256.
QByteArray writeRandom(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(kMiB, Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += chunk.size()) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(chunk.data()),
                                              chunk.size() / 4);
        hash.addData(chunk);
        if (file.write(chunk) != chunk.size())
            return {};
    }
    file.close();
    return hash.result().toHex();
}

// A signed-in home with the dev server, the uploads throttled so staged data stays staged for a
// while, and the real kelvane run headless in it.
class DriveRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fuseAvailable())
            GTEST_SKIP() << "FUSE is not available (/dev/fuse or fusermount3 missing)";
        // 40 Mbit/s: 5 MB a second, so a 50 MB file takes ten seconds to leave.
        qputenv("KELVANE_DEVENGINE_UPLOAD_LIMIT", "40");
        kelvane = std::make_unique<HeadlessKelvane>(home.path());
        ASSERT_EQ(kelvane->signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword)
                      .exitCode,
                  0);
    }
    void TearDown() override {
        kelvane.reset();
        qunsetenv("KELVANE_DEVENGINE_UPLOAD_LIMIT");
    }
    void startAndWaitMounted() {
        kelvane->start();
        ASSERT_TRUE(waitUntil([&] { return kelvane->allDrives("mounted", 2); }, 120s))
            << kelvane->output().toStdString();
    }
    QString team() const { return home.path() + "/Kelvane/Team"; }
    QString onServer(const QString& name) const { return server.filespaceDir("Team") + '/' + name; }
    QList<pid_t> teamEngine() const { return EngineProcesses::servingMount(team()); }

    TestHome home;
    DevServer server;
    std::unique_ptr<HeadlessKelvane> kelvane;
};

TEST_F(DriveRecoveryTest, ADriveWhoseEngineIsKilledComesBackAndUploadsWhatWasStaged) {
    startAndWaitMounted();
    const QByteArray written = writeRandom(team() + "/big.bin", 50 * kMiB);
    ASSERT_FALSE(written.isEmpty());
    const QList<pid_t> engine = teamEngine();
    ASSERT_EQ(engine.size(), 1);
    ASSERT_NE(sha256Of(onServer("big.bin")), written) << "the upload was meant to be slow";
    EngineProcesses::signalAll(engine, SIGKILL);

    // Noticed within seconds, brought back without anyone asking.
    EXPECT_TRUE(waitUntil(
        [&] { return kelvane->allDrives("mounting", 2) || !kelvane->allDrives("mounted", 2); },
        15s));
    ASSERT_TRUE(waitUntil(
        [&] {
            return kelvane->allDrives("mounted", 2) && teamEngine().size() == 1 &&
                   teamEngine() != engine;
        },
        60s))
        << kelvane->output().toStdString();
    EXPECT_TRUE(kelvane->output().contains("Team: mounting")) << kelvane->output().toStdString();
    ASSERT_TRUE(waitUntil([&] { return sha256Of(onServer("big.bin")) == written; }, 90s))
        << "what the killed engine had staged never reached the server";
}

TEST_F(DriveRecoveryTest, AfterKelvaneAndItsEngineAreKilledTheNextStartMountsAfreshAndUploads) {
    startAndWaitMounted();
    const QByteArray written = writeRandom(team() + "/big.bin", 50 * kMiB);
    ASSERT_FALSE(written.isEmpty());
    kelvane->kill();
    EngineProcesses::signalAll(teamEngine(), SIGKILL);
    ASSERT_TRUE(waitUntil([&] { return teamEngine().isEmpty(); }, 10s));
    ASSERT_TRUE(kelvane->drives().contains(team())) << "the dead mount stays in the kernel's table";

    // The restart finds the dead mount, detaches it and mounts again.
    startAndWaitMounted();
    EXPECT_TRUE(kelvane->waitForOutput("found a dead mount at " + team(), 10s))
        << kelvane->output().toStdString();
    ASSERT_TRUE(waitUntil([&] { return sha256Of(onServer("big.bin")) == written; }, 90s));
}

TEST_F(DriveRecoveryTest, ASecondQuitStopsWaitingForUploadsAndTheNextStartFinishesThem) {
    qputenv("KELVANE_DEVENGINE_UPLOAD_LIMIT", "8"); // 1 MB a second
    startAndWaitMounted();
    const QByteArray written = writeRandom(team() + "/big.bin", 30 * kMiB);
    ASSERT_FALSE(written.isEmpty());

    kelvane->signal(SIGTERM);
    // While it waits, the drive says it is unmounting and how much is left.
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const QJsonValue& v : kelvane->status().value("filespaces").toArray())
                if (v["name"] == "Team" && v["unmounting"].toBool())
                    return true;
            return false;
        },
        20s))
        << kelvane->output().toStdString();
    EXPECT_TRUE(kelvane->run({"status"}).out.contains("Team: unmounting"));

    kelvane->signal(SIGTERM);
    ASSERT_TRUE(kelvane->waitForExit(5s)) << "a second quit request must not wait for uploads";
    EXPECT_TRUE(kelvane->output().contains("quitting without waiting"))
        << kelvane->output().toStdString();
    EXPECT_TRUE(waitUntil([&] { return kelvane->drives().isEmpty(); }, 5s))
        << kelvane->drives().join(", ").toStdString();
    EXPECT_NE(sha256Of(onServer("big.bin")), written) << "the upload was meant to be cut short";

    qputenv("KELVANE_DEVENGINE_UPLOAD_LIMIT", "400");
    startAndWaitMounted();
    ASSERT_TRUE(waitUntil([&] { return sha256Of(onServer("big.bin")) == written; }, 90s))
        << "the next start did not upload what stayed staged";
}

TEST_F(DriveRecoveryTest, AnOfflineStartMountsOnceTheServerIsBack) {
    server.stop();
    kelvane->start();
    ASSERT_TRUE(waitUntil(
        [&] {
            return kelvane->status()
                .value("aggregate")
                .toObject()
                .value("message")
                .toString()
                .startsWith("Couldn't load filespaces: ");
        },
        30s))
        << kelvane->output().toStdString();
    server.start();
    EXPECT_TRUE(waitUntil([&] { return kelvane->allDrives("mounted", 2); }, 70s))
        << kelvane->output().toStdString();
}

} // namespace
