#include "app/settings/AppSettings.h"
#include "app/tests/mountsupport/ReadOnlyFolder.h"
#include "app/tests/support/KelvaneCli.h"
#include "platform/FileCredentialStore.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "shared/Identifiers.h"
#include "shared/SharedConfigPayload.h"
#include "tests/support/DevServer.h"
#include "tests/support/FileMode.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

CliRun signIn(const DevServer& server) {
    return kelvane({"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
                   DevServer::kDemoPassword.toUtf8() + "\n");
}

// The folder made read-only (for root too), created first; null where that cannot be done.
std::unique_ptr<ReadOnlyFolder> freeze(const QString& folder) {
    QDir().mkpath(folder);
    auto frozen = std::make_unique<ReadOnlyFolder>(folder);
    return frozen->active() ? std::move(frozen) : nullptr;
}

std::optional<QString> tokenIn(const QString& bundleId) {
    const auto payload = SharedConfigPayload::load(SharedConfigFiles::fileFor(bundleId));
    return payload ? payload->token : std::nullopt;
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

TEST(CommandLine, ASignOutThatCannotRemoveTheTokenSaysWhereItStays) {
    TestHome home;
    DevServer server;
    ASSERT_EQ(signIn(server).exitCode, 0);
    const QString file = Paths::credentialsFile();
    const auto frozen = freeze(QFileInfo(file).absolutePath());
    if (!frozen)
        GTEST_SKIP() << "cannot make the credentials folder read-only here";

    const CliRun out = kelvane({"sign-out"});
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_TRUE(out.err.startsWith("Could not remove the token from " + file + ": "))
        << out.err.toStdString();
    EXPECT_TRUE(out.err.endsWith("; it is still stored there.\n")) << out.err.toStdString();
    EXPECT_FALSE(out.out.contains("Signed out."));
    EXPECT_TRUE(FileCredentialStore(file).get(Identifiers::kApp, "api_token"));
    // The copies that could be removed are gone.
    EXPECT_FALSE(tokenIn(Identifiers::kFileProvider));
    EXPECT_FALSE(tokenIn(Identifiers::kFinderSync));
}

TEST(CommandLine, ASignInWhoseSettingsCannotBeSavedKeepsNothing) {
    TestHome home;
    DevServer server;
    UserDefaults defaults;
    ASSERT_FALSE(defaults.setValue(DefaultsKeys::kApiURL, "https://old.example.com/api"));
    const auto frozen = freeze(QFileInfo(Paths::defaultsFile()).absolutePath());
    if (!frozen)
        GTEST_SKIP() << "cannot make the defaults folder read-only here";

    const CliRun out = signIn(server);
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_TRUE(out.err.startsWith("Could not write " + Paths::defaultsFile() + ": "))
        << out.err.toStdString();
    EXPECT_TRUE(out.err.endsWith(" The sign-in was undone; nothing changed.\n"))
        << out.err.toStdString();
    EXPECT_TRUE(out.out.isEmpty());
    // No new server's token beside the old server's address.
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
    EXPECT_FALSE(tokenIn(Identifiers::kFileProvider));
    EXPECT_FALSE(tokenIn(Identifiers::kFinderSync));
    EXPECT_EQ(UserDefaults().string(DefaultsKeys::kApiURL), "https://old.example.com/api");
}

TEST(CommandLine, ASignInWhoseConfigCannotBeWrittenKeepsNothing) {
    TestHome home;
    DevServer server;
    const QString config = SharedConfigFiles::fileFor(Identifiers::kFinderSync);
    const auto frozen = freeze(QFileInfo(config).absolutePath());
    if (!frozen)
        GTEST_SKIP() << "cannot make the extension's folder read-only here";

    const CliRun out = signIn(server);
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_TRUE(out.err.startsWith("Could not write " + config + ": ")) << out.err.toStdString();
    EXPECT_TRUE(out.err.endsWith(" The sign-in was undone; nothing changed.\n"))
        << out.err.toStdString();
    EXPECT_FALSE(QFile::exists(Paths::credentialsFile()));
    EXPECT_FALSE(tokenIn(Identifiers::kFileProvider))
        << "the extension that was written is put back";
    EXPECT_FALSE(UserDefaults().string(DefaultsKeys::kApiURL));
    EXPECT_EQ(kelvane({"status"}).out, "Kelvane is not running.\nNot signed in.\n");
}
