#include "app/api/APIClient.h"
#include "app/api/APIError.h"
#include "app/settings/AppSettings.h"
#include "app/settings/Keychain.h"
#include "app/tests/support/ClientServices.h"
#include "platform/UserDefaults.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"

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
    c.api.setToken(QString("t1"));
    EXPECT_TRUE(c.api.isLoggedIn());
    EXPECT_EQ(c.store.get("com.30814qv.kelvane", "api_token"), "t1");
    c.api.logout();
    EXPECT_FALSE(c.api.token());
    EXPECT_FALSE(c.api.currentUser());
}
