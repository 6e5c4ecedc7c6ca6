#include "app/api/APIClient.h"
#include "app/api/APIError.h"
#include "app/settings/AppSettings.h"
#include "app/settings/Keychain.h"
#include "app/settings/SharedConfig.h"
#include "app/tests/mountsupport/ReadOnlyFolder.h"
#include "app/tests/support/ClientServices.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "shared/Identifiers.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFileInfo>

#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class APIClientTest : public ::testing::Test {
protected:
    TestHome home;
    DevServer server;
    ClientServices services;
    UserDefaults& defaults = services.defaults;
    Keychain& keychain = services.keychain;
    QNetworkAccessManager& network = services.network;
    APIClient& api = services.api;

    User signIn() {
        return WaitForTask::run(
            api.login(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword));
    }

    // Runs a call that must fail and returns the description of what it threw.
    template <typename T> QString failureOf(QCoro::Task<T>&& task) {
        try {
            WaitForTask::run(std::move(task));
        } catch (const KelvaneError& e) {
            return e.description();
        }
        return QStringLiteral("<no failure>");
    }
};

} // namespace

TEST_F(APIClientTest, SignInStoresTokenAddressAndUser) {
    QSignalSpy userChanged(&api, &APIClient::currentUserChanged);
    const User user = signIn();
    EXPECT_EQ(user.email, DevServer::kDemoEmail);
    EXPECT_EQ(api.currentUser(), user);
    EXPECT_EQ(userChanged.count(), 1);
    ASSERT_TRUE(api.token());
    EXPECT_FALSE(api.token()->isEmpty());
    EXPECT_EQ(defaults.string(DefaultsKeys::kApiURL), server.apiURL());
    const SharedConfigPayload published = SharedConfig::current();
    EXPECT_EQ(published.token, api.token());
    EXPECT_EQ(published.apiURL, server.apiURL());

    // Every account endpoint answers with the signed-in token.
    const QList<Filespace> filespaces = WaitForTask::run(api.fetchFilespaces());
    ASSERT_EQ(filespaces.size(), 2);
    EXPECT_EQ(filespaces[0].mountName, "Team");
    EXPECT_EQ(filespaces[1].mountName, "Marketing");
    EXPECT_TRUE(filespaces[0].metadataPublicURL.startsWith("file://"));
    WaitForTask::run(api.fetchProvisionConfig());
    const StorageStatsResponse stats = WaitForTask::run(api.getStorageStats());
    EXPECT_GT(stats.fileCount, 0);
    EXPECT_EQ(WaitForTask::run(api.fetchMe()), user);
}

TEST_F(APIClientTest, WrongPasswordAndBadAddressChangeNothingStored) {
    EXPECT_EQ(failureOf(api.login(server.apiURL(), DevServer::kDemoEmail, "wrong")),
              "Invalid credentials");
    EXPECT_EQ(failureOf(api.login("not an address", DevServer::kDemoEmail, "x")),
              "Invalid API URL");
    EXPECT_FALSE(api.token());
    EXPECT_FALSE(api.currentUser());
    EXPECT_FALSE(defaults.string(DefaultsKeys::kApiURL));
    EXPECT_FALSE(SharedConfig::current().token);
}

TEST_F(APIClientTest, AddressIsTrimmedForTheRequestAndForStorage) {
    const QString padded = "  " + server.apiURL() + "\n";
    WaitForTask::run(api.login(padded, DevServer::kDemoEmail, DevServer::kDemoPassword));
    EXPECT_EQ(defaults.string(DefaultsKeys::kApiURL), server.apiURL());

    // A later run restores the base from what was stored.
    APIClient restored{defaults, keychain, network};
    EXPECT_EQ(WaitForTask::run(restored.fetchMe()).email, DevServer::kDemoEmail);
}

TEST_F(APIClientTest, ServerErrorsMapToTheirTexts) {
    signIn();
    server.injectFault(
        {.path = "/api/filespaces", .status = 404, .body = R"({"error":"No such workspace"})"});
    EXPECT_EQ(failureOf(api.fetchFilespaces()), "No such workspace");
    server.injectFault({.path = "/api/filespaces", .status = 500, .body = "<html>oops</html>"});
    EXPECT_EQ(failureOf(api.fetchFilespaces()), "HTTP 500");
    server.injectFault({.path = "/api/filespaces", .status = 503, .body = R"({"error": 5})"});
    EXPECT_EQ(failureOf(api.fetchFilespaces()), "HTTP 503");
    server.injectFault({.path = "/api/auth/me", .status = 401, .body = "{}"});
    EXPECT_EQ(failureOf(api.fetchMe()), "Invalid credentials");
    // The faults were used up; the next call succeeds.
    EXPECT_EQ(WaitForTask::run(api.fetchFilespaces()).size(), 2);
}

TEST_F(APIClientTest, MalformedSuccessBodiesAreResponseErrors) {
    signIn();
    const QString fs = "/api/filespaces";
    auto answer = [&](const QByteArray& body) {
        server.injectFault(
            {.path = fs, .status = 200, .body = body, .contentType = "application/json"});
        return failureOf(api.fetchFilespaces());
    };
    EXPECT_TRUE(answer("not json").startsWith("Response error: the data is not valid JSON"));
    EXPECT_EQ(answer(R"({"a":1})"),
              "Response error: expected an array of filespaces, found an object");
    EXPECT_EQ(answer(R"([{"id":"x","name":"n","metadata_public_url":"m","volume_name":"v"}])"),
              "Response error: filespaces[0] filespace: key \"mount_name\" not found");
    EXPECT_EQ(
        answer(
            R"([{"id":null,"name":"n","metadata_public_url":"m","volume_name":"v","mount_name":"M"}])"),
        "Response error: filespaces[0] filespace: key \"id\": expected a string, found null");

    server.injectFault({.path = "/api/files/storage",
                        .status = 200,
                        .body = R"({"used_bytes":"1","file_count":1,"dir_count":1})"});
    EXPECT_EQ(failureOf(api.getStorageStats()),
              "Response error: storage statistics: key \"used_bytes\": expected a 64-bit integer, "
              "found a string");

    server.injectFault({.path = "/api/auth/login",
                        .status = 200,
                        .body = R"({"user":{"id":"u","email":"e","name":"n","role":"r"}})"});
    const QString tokenMissing =
        failureOf(api.login(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword));
    EXPECT_EQ(tokenMissing, "Response error: key \"token\" not found");
}

TEST_F(APIClientTest, HugeBodyIsRefusedNotBuffered) {
    signIn();
    // Incompressible, so the limit is reached on the wire whatever encoding the server picks.
    QByteArray noise(APIClient::kMaxBodyBytes + 1024, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& c : noise)
        c = char('a' + generator.bounded(26));
    server.injectFault({.path = "/api/filespaces", .status = 200, .body = noise});
    const QString failure = failureOf(api.fetchFilespaces());
    EXPECT_TRUE(failure.startsWith("Response error: the response body is larger"))
        << failure.toStdString();

    // A body that inflates past Qt's safety limit never reaches the decoder.
    server.injectFault({.path = "/api/filespaces",
                        .status = 200,
                        .body = QByteArray(APIClient::kMaxBodyBytes, ' ')});
    const QString bomb = failureOf(api.fetchFilespaces());
    EXPECT_FALSE(bomb.startsWith("Response error")) << bomb.toStdString();
    EXPECT_NE(bomb, "<no failure>");
}

TEST_F(APIClientTest, TransportFailuresCarryThePlatformText) {
    signIn();
    // Qt resends an idempotent GET once over a fresh connection, so cut twice.
    server.injectFault({.path = "/api/filespaces", .cut = true, .count = 2});
    const QString cut = failureOf(api.fetchFilespaces());
    EXPECT_NE(cut, "<no failure>");
    EXPECT_FALSE(cut.startsWith("Response error"));

    api.setRequestTimeout(std::chrono::milliseconds(300));
    server.injectFault({.path = "/api/auth/me", .delayMs = 5'000, .count = 2});
    EXPECT_EQ(failureOf(api.fetchMe()), "The request timed out.");

    server.stop();
    EXPECT_EQ(failureOf(api.fetchMe()), "Connection refused");
    // The session stays as it was after a failure other than 401.
    EXPECT_TRUE(api.token());
    EXPECT_TRUE(api.currentUser());
}

TEST_F(APIClientTest, LogoutForgetsTokenAndUserButNotTheAddress) {
    signIn();
    WaitForTask::run(api.logout());
    EXPECT_FALSE(api.isLoggedIn());
    EXPECT_FALSE(api.currentUser());
    EXPECT_FALSE(SharedConfig::current().token);
    EXPECT_EQ(SharedConfig::current().apiURL, server.apiURL());
    // Requests now go out without a token and are refused by the server.
    EXPECT_EQ(failureOf(api.fetchMe()), "Invalid credentials");
}

namespace {

// A read-only folder at `path` (created first), or a reason to skip.
std::unique_ptr<ReadOnlyFolder> freeze(const QString& path) {
    QDir().mkpath(path);
    auto folder = std::make_unique<ReadOnlyFolder>(path);
    if (!folder->active())
        return nullptr;
    return folder;
}

} // namespace

TEST_F(APIClientTest, ASignInWhoseAddressCannotBeStoredPutsThePreviousSessionBack) {
    const User before = signIn();
    const QString firstToken = *api.token();
    DevServer other;
    const auto frozen = freeze(QFileInfo(Paths::defaultsFile()).absolutePath());
    if (!frozen)
        GTEST_SKIP() << "cannot make the defaults folder read-only here";

    const QString failure =
        failureOf(api.login(other.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword));
    EXPECT_TRUE(failure.startsWith("Could not write " + Paths::defaultsFile() + ": "))
        << failure.toStdString();
    EXPECT_TRUE(failure.endsWith(" The sign-in was undone; nothing changed."))
        << failure.toStdString();
    // The old server's address is still beside the old server's token, everywhere.
    EXPECT_EQ(api.token(), firstToken);
    EXPECT_EQ(keychain.get(Keychain::kTokenKey), firstToken);
    EXPECT_EQ(SharedConfig::current().token, firstToken);
    EXPECT_EQ(SharedConfig::current().apiURL, server.apiURL());
    EXPECT_EQ(defaults.string(DefaultsKeys::kApiURL), server.apiURL());
    EXPECT_EQ(api.currentUser(), before);
    EXPECT_EQ(WaitForTask::run(api.fetchFilespaces()).size(), 2) << "still talks to the old server";
}

TEST_F(APIClientTest, ASignInWhoseConfigCannotBeWrittenKeepsNoToken) {
    const QString config = SharedConfigFiles::fileFor(Identifiers::kFileProvider);
    const auto frozen = freeze(QFileInfo(config).absolutePath());
    if (!frozen)
        GTEST_SKIP() << "cannot make the extension's folder read-only here";
    const QString failure =
        failureOf(api.login(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword));
    EXPECT_TRUE(failure.startsWith("Could not write " + config + ": ")) << failure.toStdString();
    EXPECT_TRUE(failure.endsWith(" The sign-in was undone; nothing changed."))
        << failure.toStdString();
    EXPECT_FALSE(api.isLoggedIn());
    EXPECT_FALSE(keychain.get(Keychain::kTokenKey));
    EXPECT_FALSE(SharedConfig::current().token) << "the other extension's copy is put back too";
    EXPECT_FALSE(defaults.string(DefaultsKeys::kApiURL));
    EXPECT_FALSE(api.currentUser());
}

TEST_F(APIClientTest, AKeychainThatRefusesTheTokenChangesNothing) {
    services.store.refuseWrites = true;
    EXPECT_EQ(
        failureOf(api.login(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword)),
        "Could not write the memory store: refused.");
    EXPECT_FALSE(api.isLoggedIn());
    EXPECT_FALSE(SharedConfig::current().token);
    EXPECT_FALSE(defaults.string(DefaultsKeys::kApiURL));

    // A keychain that cannot even be read stops the sign-in before the password is sent.
    services.store.refuseWrites = false;
    services.store.unavailable = true;
    APIClient fresh{defaults, keychain, network};
    server.stop();
    EXPECT_EQ(
        failureOf(fresh.login(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword)),
        "The keyring is locked or not answering; unlock it and try again.");
}

TEST_F(APIClientTest, UndoLoginPutsBackWhatTheLastSignInReplaced) {
    const User first = signIn();
    const QString firstToken = *api.token();
    DevServer other;
    WaitForTask::run(api.login(other.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword));
    ASSERT_NE(api.token(), firstToken);

    WaitForTask::run(api.undoLogin());
    EXPECT_EQ(keychain.get(Keychain::kTokenKey), firstToken);
    EXPECT_EQ(defaults.string(DefaultsKeys::kApiURL), server.apiURL());
    EXPECT_EQ(SharedConfig::current().apiURL, server.apiURL());
    EXPECT_EQ(SharedConfig::current().token, firstToken);
    EXPECT_EQ(api.currentUser(), first);
    EXPECT_EQ(api.baseURL(), APIClient::parseServerURL(server.apiURL()));
    WaitForTask::run(api.undoLogin()); // nothing left to undo
    EXPECT_EQ(keychain.get(Keychain::kTokenKey), firstToken);
}

TEST_F(APIClientTest, ALogoutThatCannotRemoveEveryCopyNamesWhatIsLeft) {
    signIn();
    const QString config = SharedConfigFiles::fileFor(Identifiers::kFinderSync);
    const auto frozen = freeze(QFileInfo(config).absolutePath());
    if (!frozen)
        GTEST_SKIP() << "cannot make the extension's folder read-only here";
    const QString failure = failureOf(api.logout());
    EXPECT_TRUE(failure.startsWith("Could not remove the token from " + config + ": "))
        << failure.toStdString();
    EXPECT_TRUE(failure.endsWith("; it is still stored there.")) << failure.toStdString();
    // Every other copy is gone, and the session is over in memory.
    EXPECT_FALSE(keychain.get(Keychain::kTokenKey));
    EXPECT_FALSE(
        SharedConfigPayload::load(SharedConfigFiles::fileFor(Identifiers::kFileProvider))->token);
    EXPECT_FALSE(api.isLoggedIn());
    EXPECT_FALSE(api.currentUser());
}
