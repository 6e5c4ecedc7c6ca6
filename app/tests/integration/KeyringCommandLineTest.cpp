#include "app/settings/AppSettings.h"
#include "app/tests/support/KelvaneCli.h"
#include "platform/FileCredentialStore.h"
#include "platform/Paths.h"
#include "platform/SecretServiceCredentialStore.h"
#include "platform/UserDefaults.h"
#include "shared/Identifiers.h"
#include "tests/support/DevServer.h"
#include "tests/support/PrivateKeyring.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

const QString kAccount = QStringLiteral("api_token");
const QString kUnavailable =
    QStringLiteral("The keyring is locked or not answering; unlock it and try again.");

CliRun signIn(const DevServer& server, SessionBus bus) {
    return kelvane({"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
                   DevServer::kDemoPassword.toUtf8() + "\n", bus);
}

std::optional<QString> inKeyring() {
    return SecretServiceCredentialStore().get(Identifiers::kApp, kAccount);
}

std::optional<QString> inFile() {
    return FileCredentialStore(Paths::credentialsFile()).get(Identifiers::kApp, kAccount);
}

QJsonObject statusReport(SessionBus bus) {
    return QJsonDocument::fromJson(kelvane({"status", "--json"}, {}, bus).out.toUtf8()).object();
}

} // namespace

TEST(KeyringCommandLine, ASignInIsWhatEveryLaterProcessReads) {
    TestHome home;
    DevServer server;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();

    const CliRun in = signIn(server, SessionBus::inherited);
    ASSERT_EQ(in.exitCode, 0) << in.err.toStdString();
    EXPECT_TRUE(inKeyring());
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile())) << "one store, not two";

    // A second process finds the same token and the server accepts it.
    const QJsonObject report = statusReport(SessionBus::inherited);
    EXPECT_EQ(report.value("credentialStore").toString(), "Secret Service");
    EXPECT_TRUE(report.value("signedIn").toBool());
    EXPECT_EQ(report.value("user").toObject().value("email").toString(), DevServer::kDemoEmail);

    const CliRun out = kelvane({"sign-out"}, {}, SessionBus::inherited);
    EXPECT_EQ(out.exitCode, 0) << out.err.toStdString();
    EXPECT_EQ(out.out, "Signed out.\n");
    EXPECT_FALSE(inKeyring());
    EXPECT_FALSE(statusReport(SessionBus::inherited).value("signedIn").toBool());
}

TEST(KeyringCommandLine, ATokenInTheFileMovesIntoTheKeyringAndSignOutClearsBoth) {
    TestHome home;
    DevServer server;
    // Signed in where no keyring ran: the token is in the file.
    ASSERT_EQ(signIn(server, SessionBus::none).exitCode, 0);
    const std::optional<QString> token = inFile();
    ASSERT_TRUE(token);

    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();
    const QJsonObject report = statusReport(SessionBus::inherited);
    EXPECT_EQ(report.value("user").toObject().value("email").toString(), DevServer::kDemoEmail);
    EXPECT_EQ(inKeyring(), token);
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));

    // A copy that reappears in the file (an older program) does not survive a sign-out.
    FileCredentialStore(Paths::credentialsFile()).save(Identifiers::kApp, kAccount, *token);
    EXPECT_EQ(kelvane({"sign-out"}, {}, SessionBus::inherited).exitCode, 0);
    EXPECT_FALSE(inKeyring());
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
}

TEST(KeyringCommandLine, ALockedKeyringIsSaidSoAndNotTakenForSignedOut) {
    TestHome home;
    DevServer server;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        GTEST_SKIP() << keyring.problem().toStdString();
    ASSERT_EQ(signIn(server, SessionBus::inherited).exitCode, 0);
    ASSERT_TRUE(keyring.lockLoginCollection());

    const CliRun status = kelvane({"status"}, {}, SessionBus::inherited);
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_EQ(status.out.toStdString(),
              ("Kelvane is not running.\n" + kUnavailable + "\n").toStdString());
    const CliRun again = signIn(server, SessionBus::inherited);
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err.toStdString(), (kUnavailable + "\n").toStdString());
    const CliRun out = kelvane({"sign-out"}, {}, SessionBus::inherited);
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_EQ(out.err.toStdString(), (kUnavailable + "\n").toStdString());
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile())) << "no fall back to the file";
}

TEST(KeyringCommandLine, AKeyringThatNeverAnswersStopsAtTheDeadlineAndTheInstanceKeepsItsToken) {
    TestHome home;
    DevServer server;
    PrivateKeyring keyring;
    if (!keyring.start(home.path(), PrivateKeyring::Kind::silent))
        GTEST_SKIP() << keyring.problem().toStdString();
    // A token from a run without a keyring; the keyring that appeared since is stuck.
    const QString token = server.demoToken();
    FileCredentialStore(Paths::credentialsFile()).save(Identifiers::kApp, kAccount, token);
    ASSERT_FALSE(UserDefaults().setValue(DefaultsKeys::kApiURL, server.apiURL()));

    const CliRun in = signIn(server, SessionBus::inherited);
    EXPECT_EQ(in.exitCode, 1);
    // The wait is announced, then ends at the deadline with the reason.
    EXPECT_EQ(in.err.toStdString(),
              ("Waiting for the keyring to answer…\n" + kUnavailable + "\n").toStdString());

    // The instance neither signs out nor falls back to the file: it waits for the keyring.
    QProcess instance;
    instance.setProcessEnvironment(kelvaneEnvironment(SessionBus::inherited));
    instance.start(KELVANE_APP_PATH, {"--headless"});
    QString printed;
    const bool waiting = waitUntil(
        [&] {
            printed += QString::fromUtf8(instance.readAllStandardOutput());
            return printed.contains("the keyring is locked or not answering; waiting for it");
        },
        std::chrono::seconds(30));
    instance.terminate();
    if (!instance.waitForFinished(30'000))
        instance.kill();
    EXPECT_TRUE(waiting) << printed.toStdString();
    EXPECT_EQ(inFile(), token) << "the token is where it was, untouched";
}
