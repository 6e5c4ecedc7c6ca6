#include "app/tests/support/HeadlessKelvane.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// What the real kelvane says about itself matches what is true, in a signed-in temporary home.
class HonestStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists("/dev/fuse") || !QFile::exists("/usr/bin/fusermount3"))
            GTEST_SKIP() << "FUSE is not available (/dev/fuse or fusermount3 missing)";
        kelvane = std::make_unique<HeadlessKelvane>(home.path());
        ASSERT_EQ(kelvane->signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword)
                      .exitCode,
                  0);
    }
    void startAndWaitMounted() {
        kelvane->start();
        ASSERT_TRUE(waitUntil([&] { return kelvane->allDrives("mounted", 2); }, 120s))
            << kelvane->output().toStdString();
    }
    QString drive(const QString& name) const { return home.path() + "/Kelvane/" + name; }
    QString idOf(const QString& name) const {
        for (const QJsonValue& v : kelvane->run({"status", "--json"}).out.isEmpty()
                                       ? QJsonArray()
                                       : kelvane->status().value("filespaces").toArray())
            if (v["name"] == name)
                return v["id"].toString();
        return {};
    }

    TestHome home;
    DevServer server;
    std::unique_ptr<HeadlessKelvane> kelvane;
};

TEST_F(HonestStateTest, SignOutFromTheCommandLineSignsTheInstanceOutAndSaysTheDrivesStay) {
    startAndWaitMounted();
    const HeadlessKelvane::Call out = kelvane->run({"sign-out"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.out, "Signed out.\n");
    ASSERT_TRUE(waitUntil([&] { return !kelvane->status().value("signedIn").toBool(); }));
    EXPECT_FALSE(kelvane->status().contains("user"));
    EXPECT_TRUE(kelvane->run({"status"}).out.contains("2 drives are still mounted"))
        << kelvane->run({"status"}).out.toStdString();
    EXPECT_EQ(kelvane->drives().size(), 2);
}

TEST_F(HonestStateTest, ARestartThatFindsTheTokenRevokedReportsThenUnmountsTheOldDrives) {
    startAndWaitMounted();
    kelvane->kill(); // the engines live on, their drives mounted
    ASSERT_EQ(kelvane->drives().size(), 2);
    // The server now refuses the token, slowly enough for a look before the answer.
    server.injectFault({.path = "/api/auth/me",
                        .status = 401,
                        .body = R"({"error":"revoked"})",
                        .delayMs = 6000,
                        .count = 0});
    kelvane->start();
    ASSERT_TRUE(kelvane->waitForOutput("drives left mounted by an earlier run", 10s));
    ASSERT_TRUE(waitUntil(
        [&] { return kelvane->status().value("leftoverMounts").toArray().size() == 2; }, 10s))
        << kelvane->output().toStdString() << kelvane->run({"status"}).out.toStdString();
    EXPECT_TRUE(
        kelvane->run({"status"}).out.contains("left mounted by an earlier run: " + drive("Team")));
    EXPECT_TRUE(waitUntil([&] { return kelvane->drives().isEmpty(); }, 60s))
        << kelvane->drives().join(", ").toStdString();
    EXPECT_FALSE(kelvane->status().value("signedIn").toBool());
}

TEST_F(HonestStateTest, AnEngineThatFailsAtOnceEndsItsDriveAtOnceWithItsOwnReason) {
    const QString teamId = idOf("Team");
    ASSERT_FALSE(teamId.isEmpty());
    // Team's cache folder cannot be made: a file stands where it belongs.
    QDir().mkpath(home.file(".kelvane/cache"));
    QFile blocker(home.file(".kelvane/cache/" + teamId));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // Another engine's failure is the last line of the shared log.
    QDir().mkpath(home.file(".juicefs"));
    QFile log(home.file(".juicefs/juicefs.log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write("2026/12/08 10:00:00.000000 juicefs[1] <FATAL>: some other drive broke [x.go:1]\n");
    log.close();

    kelvane->start();
    QString reason;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const QJsonValue& v : kelvane->status().value("filespaces").toArray())
                if (v["name"] == "Team" && v["mount"]["state"] == "error")
                    reason = v["mount"]["message"].toString();
            return !reason.isEmpty();
        },
        20s))
        << "the drive waited for the readiness limit instead of ending at once";
    EXPECT_FALSE(reason.contains("some other drive")) << reason.toStdString();
    EXPECT_FALSE(reason.contains(QRegularExpression(R"(\[\w+\.\w+:\d+\])")))
        << reason.toStdString();
    EXPECT_TRUE(waitUntil([&] {
        const auto spaces = kelvane->status().value("filespaces").toArray();
        return spaces.size() == 2 && (spaces[0]["mount"]["state"] == "mounted" ||
                                      spaces[1]["mount"]["state"] == "mounted");
    }));
}

TEST_F(HonestStateTest, OfSeveralInstancesStartedAtOnceExactlyOneRuns) {
    std::vector<std::unique_ptr<QProcess>> starts;
    for (int i = 0; i < 5; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(kelvane->environment());
        p->start(KELVANE_APP_PATH, {"--headless"});
        starts.push_back(std::move(p));
    }
    for (auto& p : starts)
        ASSERT_TRUE(p->waitForStarted());
    const auto running = [&] {
        int n = 0;
        for (auto& p : starts)
            n += p->state() == QProcess::Running ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(waitUntil([&] { return running() <= 1; }, 30s));
    int refused = 0;
    for (auto& p : starts) {
        if (p->state() == QProcess::NotRunning) {
            refused += p->exitCode() == 1 ? 1 : 0;
            EXPECT_TRUE(p->readAllStandardError().contains("already running"));
        }
    }
    EXPECT_EQ(refused, 4);
    EXPECT_EQ(running(), 1);
    EXPECT_TRUE(kelvane->status().value("running").toBool());
    for (auto& p : starts) {
        if (p->state() == QProcess::Running) {
            p->terminate();
            p->waitForFinished(60'000);
        }
    }
}

TEST_F(HonestStateTest, StatusAnswersAtOnceWhileTheServerIsSlowAndSignInSaysItWaits) {
    server.injectFault({.path = "/api/auth/me", .delayMs = 8'000, .count = 0});
    kelvane->start();
    ASSERT_TRUE(kelvane->waitForInstance());
    // Within a few seconds, never the server's minute.
    const HeadlessKelvane::Call status = kelvane->run({"status"}, {}, 5'000);
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_TRUE(status.out.contains("Connecting to " + server.apiURL()))
        << status.out.toStdString();

    server.injectFault({.path = "/api/auth/login", .delayMs = 3'000});
    const HeadlessKelvane::Call signIn =
        kelvane->signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword);
    EXPECT_TRUE(signIn.err.contains("Waiting for " + server.apiURL())) << signIn.err.toStdString();
}

TEST_F(HonestStateTest, AQuitThatLeavesABusyDriveMountedSaysWhich) {
    startAndWaitMounted();
    QProcess busy; // a program whose working folder is inside the drive
    busy.setWorkingDirectory(drive("Team"));
    busy.start("/usr/bin/sleep", {"300"});
    ASSERT_TRUE(busy.waitForStarted());
    kelvane->signal(SIGTERM);
    ASSERT_TRUE(kelvane->waitForExit(60s));
    EXPECT_TRUE(kelvane->output().contains(drive("Team") + " stayed mounted"))
        << kelvane->output().toStdString();
    busy.kill();
    busy.waitForFinished();
}

TEST_F(HonestStateTest, AnAddressWithoutApiGetsTheServersTextAndOneLineOfAdvice) {
    const HeadlessKelvane::Call call =
        kelvane->signIn(server.baseURL(), DevServer::kDemoEmail, DevServer::kDemoPassword);
    EXPECT_EQ(call.exitCode, 1);
    EXPECT_TRUE(call.err.contains("Is this the workspace's API address? It usually ends in /api."))
        << call.err.toStdString();
}

} // namespace
