#include "app/tests/mountsupport/DriveGuard.h"
#include "app/tests/support/KelvaneCli.h"
#include "platform/Paths.h"
#include "platform/SecretServiceCredentialStore.h"
#include "shared/Identifiers.h"
#include "tests/support/DevServer.h"
#include "tests/support/PrivateKeyring.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The running instance, stopped the way a user stops it, also when an assertion ends early.
struct Instance {
    QProcess process;
    QString printed;
    bool printedLine(const QString& text) {
        return waitUntil(
            [&] {
                printed += QString::fromUtf8(process.readAllStandardOutput());
                return printed.contains(text);
            },
            std::chrono::seconds(60));
    }
    ~Instance() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(120'000))
            process.kill();
        process.waitForFinished(10'000);
    }
};

} // namespace

// `kelvane sign-in` and the running instance meet in one keyring: the instance takes the
// sign-in through the instance channel, reads the token the command stored, and keeps it.
TEST(KeyringInstance, TheInstanceTakesTheCommandLineSignInFromTheKeyringAndKeepsIt) {
    if (const auto reason = DriveGuard::unavailableReason())
        GTEST_SKIP() << reason->toStdString();
    TestHome home;
    DriveGuard drives(home.file("Kelvane"));
    DevServer server;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();

    Instance instance;
    instance.process.setProcessEnvironment(kelvaneEnvironment(SessionBus::inherited));
    instance.process.start(KELVANE_APP_PATH, {"--headless"});
    ASSERT_TRUE(instance.printedLine("not signed in; waiting for `kelvane sign-in`"))
        << instance.printed.toStdString();

    const CliRun in =
        kelvane({"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
                DevServer::kDemoPassword.toUtf8() + "\n", SessionBus::inherited);
    ASSERT_EQ(in.exitCode, 0) << in.err.toStdString();
    const std::optional<QString> token =
        SecretServiceCredentialStore().get(Identifiers::kApp, "api_token");
    ASSERT_TRUE(token);

    // The instance reads the new token from the same keyring and the server knows its user.
    QJsonObject snapshot;
    EXPECT_TRUE(waitUntil(
        [&] {
            snapshot = QJsonDocument::fromJson(
                           kelvane({"status", "--json"}, {}, SessionBus::inherited).out.toUtf8())
                           .object();
            return snapshot.value("user").toObject().value("email").toString() ==
                   DevServer::kDemoEmail;
        },
        std::chrono::seconds(60)))
        << QJsonDocument(snapshot).toJson().toStdString();
    EXPECT_TRUE(snapshot.value("running").toBool());

    instance.process.terminate();
    EXPECT_TRUE(instance.process.waitForFinished(120'000));
    EXPECT_EQ(SecretServiceCredentialStore().get(Identifiers::kApp, "api_token"), token)
        << "the sign-in outlived the instance";
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}
