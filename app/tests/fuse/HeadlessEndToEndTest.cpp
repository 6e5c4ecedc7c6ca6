#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QProcessEnvironment homeEnvironment(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_RUNTIME_DIR", home + "/run");
    return env;
}

QString runKelvane(const QString& home, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.setProcessEnvironment(homeEnvironment(home));
    p.start(KELVANE_APP_PATH, args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60'000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList juicefsMountsUnder(const QString& folder) {
    QFile f("/proc/self/mountinfo");
    QStringList found;
    if (!f.open(QIODevice::ReadOnly))
        return found;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4 && fields[4].startsWith(folder.toUtf8()) &&
            line.contains(" - fuse.juicefs "))
            found.append(QString::fromUtf8(fields[4]));
    }
    return found;
}

// Never leaves a drive or a process behind, also when an assertion ends the test early.
struct HeadlessRun {
    explicit HeadlessRun(QString homeFolder) : home(std::move(homeFolder)) {}
    QString home;
    QProcess process;
    ~HeadlessRun() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(60'000))
                process.kill();
        }
        for (const QString& mount : juicefsMountsUnder(home))
            QProcess::execute("/usr/bin/fusermount3", {"-u", "-z", mount});
    }
};

bool fuseAvailable() {
    return QFile::exists("/dev/fuse") && QFile::exists("/usr/bin/fusermount3");
}

} // namespace

TEST(HeadlessEndToEnd, MountsEveryFilespaceAndUnmountsOnSigterm) {
    if (!fuseAvailable())
        GTEST_SKIP() << "FUSE is not available on this machine (/dev/fuse or fusermount3 missing)";
    TestHome home;
    DevServer server;
    ASSERT_TRUE(
        runKelvane(home.path(),
                   {"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
                   DevServer::kDemoPassword.toUtf8() + "\n")
            .startsWith("Signed in as"));

    HeadlessRun run(home.path());
    run.process.setProcessEnvironment(homeEnvironment(home.path()));
    run.process.setProcessChannelMode(QProcess::MergedChannels);
    run.process.start(KELVANE_APP_PATH, {"--headless"});
    ASSERT_TRUE(run.process.waitForStarted());

    // Poll the running instance until both drives report mounted.
    QJsonObject snapshot;
    auto bothMounted = [&] {
        snapshot = QJsonDocument::fromJson(runKelvane(home.path(), {"status", "--json"}).toUtf8())
                       .object();
        const QJsonArray filespaces = snapshot.value("filespaces").toArray();
        return snapshot.value("aggregate").toObject().value("state") == "mounted" &&
               filespaces.size() == 2 &&
               std::all_of(filespaces.begin(), filespaces.end(),
                           [](const QJsonValue& v) { return v["mount"]["state"] == "mounted"; });
    };
    QDeadlineTimer deadline(120'000);
    while (!bothMounted() && !deadline.hasExpired() && run.process.state() == QProcess::Running)
        QThread::msleep(200);
    ASSERT_TRUE(bothMounted()) << QJsonDocument(snapshot).toJson().toStdString()
                               << run.process.readAll().toStdString();
    EXPECT_TRUE(snapshot.value("running").toBool());
    EXPECT_TRUE(snapshot.value("activity").toObject().contains("uploadBacklogBytes"));

    const QString team = home.path() + "/Kelvane/Team";
    const QString marketing = home.path() + "/Kelvane/Marketing";
    const QStringList mounts = juicefsMountsUnder(home.path());
    EXPECT_TRUE(mounts.contains(team)) << mounts.join(", ").toStdString();
    EXPECT_TRUE(mounts.contains(marketing));

    const QByteArray content = "written through the drive\n";
    {
        QFile f(team + "/from-e2e.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }

    run.process.terminate();
    ASSERT_TRUE(run.process.waitForFinished(120'000)) << "headless run did not quit on SIGTERM";
    EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process.exitCode(), 0);
    EXPECT_TRUE(juicefsMountsUnder(home.path()).isEmpty()) << "a drive was left mounted";

    QFile landed(server.filespaceDir("Team") + "/from-e2e.txt");
    ASSERT_TRUE(landed.open(QIODevice::ReadOnly)) << "the write never reached the server's data";
    EXPECT_EQ(landed.readAll(), content);
}
