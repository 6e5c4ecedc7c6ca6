#include "app/api/APIClient.h"
#include "app/api/APIError.h"
#include "app/settings/AppSettings.h"
#include "app/settings/Keychain.h"
#include "app/settings/SharedConfig.h"
#include "app/tests/support/ClientServices.h"
#include "platform/UserDefaults.h"
#include "shared/WaitForTask.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QSignalSpy>

#include <QNetworkAccessManager>
#include <gtest/gtest.h>

namespace {

using Client = ClientServices;

} // namespace

TEST(APIClientURL, BasePathIsKeptWithOrWithoutTrailingSlash) {
    TestHome home;
    Client c;
    for (const char* base : {"http://h:8080/api", "http://h:8080/api/"}) {
        c.api.setBaseURL(QUrl(base));
        EXPECT_EQ(c.api.resolvedURL("/auth/me").toString(), "http://h:8080/api/auth/me");
        EXPECT_EQ(c.api.resolvedURL("filespaces").toString(), "http://h:8080/api/filespaces");
    }
    c.api.setBaseURL(QUrl("https://h"));
    EXPECT_EQ(c.api.resolvedURL("/auth/me").toString(), "https://h/auth/me");
}

TEST(APIClientURL, BaseIsRestoredFromTheDefaultsOrInvalid) {
    TestHome home;
    Client c;
    try {
        c.api.resolvedURL("/auth/me");
        FAIL() << "resolved without any base";
    } catch (const APIError& e) {
        EXPECT_EQ(e.kind(), APIError::Kind::invalidURL);
        EXPECT_EQ(e.description(), "Invalid API URL");
    }
    c.defaults.setValue(DefaultsKeys::kApiURL, "http://stored:1/api");
    EXPECT_EQ(c.api.resolvedURL("/filespaces").toString(), "http://stored:1/api/filespaces");
    EXPECT_EQ(c.api.baseURL(), QUrl("http://stored:1/api"));

    Client blank;
    blank.defaults.setValue(DefaultsKeys::kApiURL, " http://stored:1/api ");
    EXPECT_THROW(blank.api.resolvedURL("/filespaces"), APIError);
}

TEST(APIClientURL, ServerAddressMustBeHttpWithAHost) {
    EXPECT_TRUE(APIClient::parseServerURL("https://ws.example.com/api"));
    EXPECT_TRUE(APIClient::parseServerURL("http://127.0.0.1:9/api"));
    for (const char* bad : {"", "ws.example.com", "ftp://h/api", "http://", "http://h a/api",
                            " http://h/api", "file:///tmp"})
        EXPECT_FALSE(APIClient::parseServerURL(bad)) << bad;
}

TEST(APIClientURL, TokenLivesInTheKeychainAndTheSharedConfig) {
    TestHome home;
    Client c;
    EXPECT_FALSE(c.api.isLoggedIn());
    WaitForTask::run(c.api.setToken(QString("t1")));
    EXPECT_TRUE(c.api.isLoggedIn());
    EXPECT_EQ(c.store.get("com.30814qv.kelvane", "api_token"), "t1");
    EXPECT_EQ(SharedConfig::current().token, "t1");
    WaitForTask::run(c.api.logout());
    EXPECT_FALSE(c.api.token());
    EXPECT_FALSE(c.api.currentUser());
    EXPECT_FALSE(c.store.get("com.30814qv.kelvane", "api_token"));
    EXPECT_FALSE(SharedConfig::current().token);
}

TEST(APIClientToken, IsReadOnceAndKeptUntilReloaded) {
    TestHome home;
    Client c;
    c.store.items.insert({"com.30814qv.kelvane", "api_token"}, "t0");
    EXPECT_EQ(c.api.tokenState(), APIClient::TokenState::unread);
    EXPECT_FALSE(c.api.isLoggedIn()) << "nothing is known before the first read";
    WaitForTask::run(c.api.reloadToken());
    EXPECT_TRUE(c.api.isLoggedIn());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(c.api.token(), "t0");
    EXPECT_EQ(c.store.reads, 1);

    // Another process signed in: only a reload sees it.
    c.store.items.insert({"com.30814qv.kelvane", "api_token"}, "t1");
    EXPECT_EQ(c.api.token(), "t0");
    QSignalSpy changed(&c.api, &APIClient::tokenStateChanged);
    WaitForTask::run(c.api.reloadToken());
    EXPECT_EQ(c.api.token(), "t1");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(c.store.reads, 2);

    // And another signed out.
    c.store.items.clear();
    WaitForTask::run(c.api.reloadToken());
    EXPECT_EQ(c.api.tokenState(), APIClient::TokenState::absent);
    EXPECT_FALSE(c.api.isLoggedIn());
}

TEST(APIClientToken, ALockedKeyringIsNotASignOutAndNothingIsSentUntilItAnswers) {
    TestHome home;
    Client c;
    c.store.items.insert({"com.30814qv.kelvane", "api_token"}, "t0");
    c.store.unavailable = true;
    c.api.setCredentialRetryInterval(std::chrono::milliseconds(20));
    c.api.setBaseURL(QUrl("http://127.0.0.1:9/api"));
    WaitForTask::run(c.api.reloadToken());
    EXPECT_EQ(c.api.tokenState(), APIClient::TokenState::unavailable);
    EXPECT_FALSE(c.api.token());

    // A request would go out without a token and earn a 401 that ends the session: it fails
    // here instead, before any connection is tried (port 9 would refuse it).
    try {
        WaitForTask::run(c.api.fetchMe());
        FAIL() << "a request went out";
    } catch (const KelvaneError& e) {
        EXPECT_EQ(e.description(),
                  "The keyring is locked or not answering; unlock it and try again.");
    }
    EXPECT_EQ(c.store.items.value({"com.30814qv.kelvane", "api_token"}), "t0");

    // Once the keyring answers, the session comes back by itself.
    c.store.unavailable = false;
    EXPECT_TRUE(waitUntil([&] { return c.api.isLoggedIn(); }, std::chrono::seconds(10)));
    EXPECT_EQ(c.api.token(), "t0");
}
