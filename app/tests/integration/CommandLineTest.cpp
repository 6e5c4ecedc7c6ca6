#include "platform/Paths.h"
#include "shared/Identifiers.h"
#include "shared/SharedConfigPayload.h"
#include "tests/support/DevServer.h"
#include "tests/support/FileMode.h"
#include "tests/support/TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the real `kelvane` binary in the test's home, without any session bus, so the
// token lands in the owner-only file store.
CliRun kelvane(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Paths::home());
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_RUNTIME_DIR", Paths::home() + "/no-runtime");
    p.setProcessEnvironment(env);
    p.start(KELVANE_APP_PATH, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60'000))
        p.kill();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(CommandLine, SignInPublishesEverythingAndStatusShowsTheWorkspace) {
    TestHome home;
    DevServer server;
    const CliRun signIn =
        kelvane({"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
                DevServer::kDemoPassword.toUtf8() + "\n");
    ASSERT_EQ(signIn.exitCode, 0) << signIn.err.toStdString();
    EXPECT_EQ(signIn.out, "Signed in as Demo User <demo@kelvane.test>\n");
    EXPECT_FALSE(signIn.err.contains(DevServer::kDemoPassword));

    EXPECT_EQ(modeOf(Paths::credentialsFile()), kOwnerReadWrite);
    for (const QString& id : {Identifiers::kFileProvider, Identifiers::kFinderSync}) {
        const QString file = SharedConfigFiles::fileFor(id);
        EXPECT_EQ(modeOf(file), kOwnerReadWrite) << file.toStdString();
        const auto payload = SharedConfigPayload::load(file);
        ASSERT_TRUE(payload);
        EXPECT_EQ(payload->apiURL, server.apiURL());
        EXPECT_TRUE(payload->token && !payload->token->isEmpty());
    }

    const CliRun status = kelvane({"status"});
    EXPECT_EQ(status.exitCode, 0) << status.err.toStdString();
    EXPECT_TRUE(status.out.contains("Signed in as Demo User <demo@kelvane.test>"));
    EXPECT_TRUE(status.out.contains("Team  " + home.path() + "/Kelvane/Team"));
    EXPECT_TRUE(status.out.contains("Marketing  " + home.path() + "/Kelvane/Marketing"));

    const CliRun json = kelvane({"status", "--json"});
    const QJsonObject report = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_TRUE(report.value("signedIn").toBool());
    EXPECT_EQ(report.value("user").toObject().value("email").toString(), DevServer::kDemoEmail);
    EXPECT_EQ(report.value("filespaces").toArray().size(), 2);
    EXPECT_TRUE(report.value("storage").toObject().contains("used_bytes"));

    const CliRun signOut = kelvane({"sign-out"});
    EXPECT_EQ(signOut.exitCode, 0);
    EXPECT_EQ(kelvane({"status"}).out, "Kelvane is not running.\nNot signed in.\n");
    EXPECT_FALSE(
        SharedConfigPayload::load(SharedConfigFiles::fileFor(Identifiers::kFinderSync))->token);
}

TEST(CommandLine, FailedSignInsPrintTheErrorAndStoreNothing) {
    TestHome home;
    DevServer server;
    const CliRun wrong =
        kelvane({"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
                "not-the-password\n");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.err, "Invalid credentials\n");
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));

    const CliRun badURL =
        kelvane({"sign-in", "--server", "ws.example.com", "--email", "a@b"}, "x\n");
    EXPECT_EQ(badURL.exitCode, 1);
    EXPECT_EQ(badURL.err, "Invalid API URL\n");

    server.stop();
    const CliRun down = kelvane({"sign-in", "--server", server.apiURL(), "--email", "a@b"}, "x\n");
    EXPECT_EQ(down.exitCode, 1);
    EXPECT_EQ(down.err, "Connection refused\n");
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));

    const CliRun usage = kelvane({"sign-in", "--server", server.apiURL()});
    EXPECT_EQ(usage.exitCode, 2);
}
