#include "app/tests/support/HeadlessKelvane.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

bool fuseAvailable() {
    return QFile::exists("/dev/fuse") && QFile::exists("/usr/bin/fusermount3");
}

} // namespace

TEST(HeadlessEndToEnd, MountsEveryFilespaceAndUnmountsOnSigterm) {
    if (!fuseAvailable())
        GTEST_SKIP() << "FUSE is not available on this machine (/dev/fuse or fusermount3 missing)";
    TestHome home;
    DevServer server;
    HeadlessKelvane kelvane(home.path());
    ASSERT_TRUE(kelvane.signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword)
                    .out.startsWith("Signed in as"));

    kelvane.start();
    ASSERT_TRUE(waitUntil(
        [&] {
            return kelvane.status().value("aggregate").toObject().value("state") == "mounted" &&
                   kelvane.allDrives("mounted", 2);
        },
        120s))
        << kelvane.output().toStdString();
    const QJsonObject snapshot = kelvane.status();
    EXPECT_TRUE(snapshot.value("running").toBool());
    EXPECT_TRUE(snapshot.value("activity").toObject().contains("uploadBacklogBytes"));

    const QString team = home.path() + "/Kelvane/Team";
    const QString marketing = home.path() + "/Kelvane/Marketing";
    const QStringList mounts = kelvane.drives();
    EXPECT_TRUE(mounts.contains(team)) << mounts.join(", ").toStdString();
    EXPECT_TRUE(mounts.contains(marketing));

    const QByteArray content = "written through the drive\n";
    {
        QFile f(team + "/from-e2e.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }

    kelvane.signal(SIGTERM);
    ASSERT_TRUE(kelvane.waitForExit(120s)) << "headless run did not quit on SIGTERM";
    EXPECT_EQ(kelvane.exitCode(), 0);
    EXPECT_TRUE(kelvane.drives().isEmpty()) << "a drive was left mounted";

    QFile landed(server.filespaceDir("Team") + "/from-e2e.txt");
    ASSERT_TRUE(landed.open(QIODevice::ReadOnly)) << "the write never reached the server's data";
    EXPECT_EQ(landed.readAll(), content);
}
