#include "fileprovider/tests/support/Programs.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/Identifiers.h"
#include "shared/InvalidationToken.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Programs::fileProvider;

QStringList lastColumn(const QString& output) {
    QStringList values;
    for (const QString& line : output.split('\n', Qt::SkipEmptyParts))
        values.append(line.section('\t', -1));
    return values;
}

// The whole file-provider chain with the real programs: the dev server, the application
// signed in and running headless in its file-provider mode, and the extension's host.
class FileProviderChainTest : public testing::Test {
protected:
    void SetUp() override {
        const auto signIn = Programs::kelvane(
            {"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
            DevServer::kDemoPassword.toUtf8() + "\n");
        ASSERT_EQ(signIn.exitCode, 0) << signIn.err.toStdString();

        app.setProcessEnvironment(Programs::environment());
        app.start(QStringLiteral(KELVANE_APP_PATH), {"--headless", "--file-provider"});
        ASSERT_TRUE(waitUntil(
            [&] {
                appOutput += QString::fromUtf8(app.readAllStandardOutput());
                return appOutput.contains("[SyncListener] connected to") &&
                       appOutput.contains("Background auto-sync started") &&
                       InvalidationToken::read() != QLatin1String("initial");
            },
            60s))
            << appOutput.toStdString();
    }

    void TearDown() override {
        if (app.state() == QProcess::NotRunning)
            return;
        app.terminate();
        if (!app.waitForFinished(30'000)) {
            app.kill();
            app.waitForFinished(10'000);
        }
    }

    qint64 rootSignals() {
        const auto manager = FileProviderDomainRegistry().managerForDomain(
            {Identifiers::kFileProviderDomain, "Kelvane"});
        return manager ? manager->signalGeneration("NSFileProviderRootContainerItemIdentifier")
                       : -1;
    }

    // A change that the application hears about bumps the token and then signals the root
    // enumerator; this waits for both.
    bool waitForRefreshAfter(const QString& token, qint64 signalled) {
        return waitUntil(
            [&] { return InvalidationToken::read() != token && rootSignals() > signalled; }, 30s);
    }

    TestHome home;
    DevServer server;
    QProcess app;
    QString appOutput;
};

TEST_F(FileProviderChainTest, AServerChangeReachesTheHostThroughTheListenerAndTheToken) {
    EXPECT_TRUE(FileProviderDomainRegistry().domains().contains(
        FileProviderDomain{Identifiers::kFileProviderDomain, "Kelvane"}));
    EXPECT_FALSE(appOutput.contains("mount")) << "no drive is mounted in this mode";

    const auto root = fileProvider({"ls", "/"});
    ASSERT_EQ(root.exitCode, 0) << root.err.toStdString();
    EXPECT_EQ(lastColumn(root.out), QStringList({"Team", "Marketing"}));
    const auto team = fileProvider({"ls", "/Team"});
    EXPECT_EQ(lastColumn(team.out), QStringList({"Projects", "Welcome.txt"}));

    // Written behind the server's back: no event, so the token stays and nothing is seen.
    // (Should the 30-second refresh bump the token meanwhile, the check is taken again.)
    QFile quiet(server.filespaceDir("Team") + "/Quiet.txt");
    ASSERT_TRUE(quiet.open(QIODevice::WriteOnly));
    quiet.write("unannounced");
    quiet.close();
    bool checkedWithSteadyToken = false;
    for (int attempt = 0; attempt < 3 && !checkedWithSteadyToken; ++attempt) {
        const QString before = InvalidationToken::read();
        const auto unchanged = fileProvider({"changes", "/Team"});
        if (InvalidationToken::read() != before)
            continue;
        EXPECT_EQ(unchanged.out, "") << "a change is not reported while the token stands";
        checkedWithSteadyToken = true;
    }
    ASSERT_TRUE(checkedWithSteadyToken);

    const QString token = InvalidationToken::read();
    const qint64 signalled = rootSignals();
    server.writeFile("Team", "Added.txt", "from the server");
    ASSERT_TRUE(waitForRefreshAfter(token, signalled))
        << "the listener refreshes the domain on the event";
    EXPECT_TRUE(waitUntil([&] {
        appOutput += QString::fromUtf8(app.readAllStandardOutput());
        return appOutput.contains("[SyncListener] file-change");
    }));

    const auto changed = fileProvider({"changes", "--json", "/Team"});
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(changed.out.toUtf8()).object();
    EXPECT_TRUE(report.value("signalled").toBool()) << "the refresh signalled the enumerators";
    QStringList updated;
    for (const QJsonValue& v : report.value("updated").toArray())
        updated.append(v.toObject().value("itemIdentifier").toString());
    EXPECT_EQ(updated, QStringList({"/Team/Added.txt", "/Team/Quiet.txt"}));
    EXPECT_EQ(report.value("anchor").toString(), InvalidationToken::read());

    const QString settled = InvalidationToken::read();
    const auto again = fileProvider({"changes", "/Team"});
    if (InvalidationToken::read() == settled) {
        EXPECT_EQ(again.out, "") << "each token is answered once";
    }
}

} // namespace
