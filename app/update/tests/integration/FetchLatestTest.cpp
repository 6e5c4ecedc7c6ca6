#include "app/settings/AppSettings.h"
#include "app/update/UpdateError.h"
#include "app/update/Updater.h"
#include "platform/UserDefaults.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include "tests/support/QtPrinters.h"
#include <QDir>
#include <QJsonDocument>
#include <QNetworkAccessManager>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// An updater in a test home against the real dev server, whose feed is whatever a test
// injects (or the server's own over HTTPS).
class FetchLatestTest : public ::testing::Test {
protected:
    void SetUp() override {
        certificates_.trustInThisProcess();
        QDir().mkpath(updates_.path());
        server_ = std::make_unique<DevServer>(
            DevServer::Options{true,
                               {},
                               {"--updates", updates_.path(), "--tls-cert",
                                certificates_.certificate(), "--tls-key", certificates_.key()}});
        defaults_.setValue(DefaultsKeys::kApiURL, server_->apiURL());
        options_.feedTimeout = 2s;
        options_.firstCheckDelay = 50ms;
        options_.checkInterval = 200ms;
    }
    Updater& updater() {
        if (!updater_)
            updater_ = std::make_unique<Updater>(
                defaults_, network_, [] {}, options_);
        return *updater_;
    }
    void serveFeed(const QByteArray& body, int status = 200) {
        server_->injectFault(
            {"/downloads/latest.json", "GET", status, body, "application/json", 0, false, 1});
    }
    QByteArray feed(const QString& url, const QString& build = "2") const {
        return QJsonDocument(QJsonObject{{"version", "0.2.0"}, {"build", build}, {"url", url}})
            .toJson();
    }
    QString tlsURL(const QString& host = "127.0.0.1") const {
        return QStringLiteral("https://%1:%2/downloads/Kelvane-0.2.0-2-linux-amd64.tar.gz")
            .arg(host)
            .arg(server_->tlsPort());
    }
    // The failure of one fetch: the text the user would see, or "" for a release.
    QString failure() {
        try {
            release_ = WaitForTask::run(updater().fetchLatest());
        } catch (const std::exception& e) {
            return describeError(e);
        }
        return {};
    }
    static QString text(UpdateError::Kind kind) { return UpdateError(kind).description(); }

    TestHome home_;
    TestCertificates certificates_;
    QTemporaryDir updates_;
    std::unique_ptr<DevServer> server_;
    UserDefaults defaults_;
    QNetworkAccessManager network_;
    Updater::Options options_;
    std::unique_ptr<Updater> updater_;
    UpdateRelease release_;
};

} // namespace

TEST_F(FetchLatestTest, ReadsTheServersFeedOverHttpsFromItsPackages) {
    QFile package(updates_.filePath("Kelvane-0.2.0-2-linux-amd64.tar.gz"));
    ASSERT_TRUE(package.open(QIODevice::WriteOnly));
    package.close();
    QFile older(updates_.filePath("Kelvane-0.1.9-10-linux-amd64.tar.gz"));
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.close();
    // Build 10 is newer than build 2.
    ASSERT_EQ(failure(), "");
    EXPECT_EQ(release_.build, "10");
    EXPECT_EQ(release_.version, "0.1.9");
    EXPECT_EQ(release_.url.scheme(), "https");
    EXPECT_EQ(release_.url.port(), server_->tlsPort());
    EXPECT_TRUE(release_.published);

    // The same feed fetched over HTTPS itself.
    updater().setSiteURL(QStringLiteral("https://127.0.0.1:%1/api").arg(server_->tlsPort()));
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(release_.build, "10");
}

TEST_F(FetchLatestTest, FailsEachCheckInOrderWithItsText) {
    defaults_.remove(DefaultsKeys::kApiURL);
    EXPECT_EQ(failure(), text(UpdateError::Kind::noFeed));
    updater().setSiteURL(QString("not a url at all"));
    EXPECT_EQ(failure(), text(UpdateError::Kind::noFeed));
    updater().setSiteURL(server_->apiURL());

    EXPECT_EQ(failure(), text(UpdateError::Kind::badResponse)); // 404: no package published
    serveFeed(feed(tlsURL()), 500);
    EXPECT_EQ(failure(), text(UpdateError::Kind::badResponse));
    serveFeed(feed(tlsURL()), 201);
    EXPECT_EQ(failure(), text(UpdateError::Kind::badResponse));
    serveFeed("{\"version\": \"0.2.0\"}");
    EXPECT_EQ(failure(), text(UpdateError::Kind::badResponse));
    serveFeed(R"({"build": null, "url": null})");
    EXPECT_EQ(failure(), text(UpdateError::Kind::badResponse));
    serveFeed("this is no JSON");
    EXPECT_TRUE(failure().startsWith("the data is not valid JSON"));
    serveFeed(R"({"build": 2, "url": "https://127.0.0.1/K"})");
    EXPECT_EQ(failure(), "update feed: key \"build\": expected a string, found a number");
    serveFeed("{\"build\": \"2\", \"url\": \"" + tlsURL().toUtf8() + "\", \"padding\": \"" +
              QByteArray(2 << 20, 'x') + "\"}");
    EXPECT_EQ(failure(), text(UpdateError::Kind::badResponse));
    serveFeed(feed(tlsURL().replace("https:", "http:")));
    EXPECT_EQ(failure(), text(UpdateError::Kind::untrustedURL));
    serveFeed(feed(tlsURL("localhost")));
    EXPECT_EQ(failure(), text(UpdateError::Kind::untrustedURL));
    serveFeed(feed(tlsURL()));
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(release_.url.toString(), tlsURL());
}

TEST_F(FetchLatestTest, FollowsRedirectsOnlyOnTheSameHost) {
    const QString sameHost = server_->baseURL() + "/downloads/pinned.json";
    server_->injectFault(
        {"/downloads/latest.json", "GET", 302, {}, "text/plain", 0, false, 1, sameHost});
    server_->injectFault(
        {"/downloads/pinned.json", "GET", 200, feed(tlsURL()), "application/json", 0, false, 1});
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(release_.build, "2");

    // localhost is this very server, but not the host signed in to.
    const QString elsewhere =
        QStringLiteral("http://localhost:%1/downloads/pinned.json").arg(server_->port());
    server_->injectFault(
        {"/downloads/latest.json", "GET", 302, {}, "text/plain", 0, false, 1, elsewhere});
    server_->injectFault(
        {"/downloads/pinned.json", "GET", 200, feed(tlsURL()), "application/json", 0, false, 1});
    EXPECT_EQ(failure(), text(UpdateError::Kind::badResponse));
    server_->clearFaults();
}

TEST_F(FetchLatestTest, TransportFailuresCarryThePlatformsText) {
    options_.feedTimeout = std::chrono::milliseconds(500);
    server_->injectFault({"/downloads/latest.json", "GET", 0, {}, {}, 1500, false, 1});
    EXPECT_EQ(failure(), "The request timed out.");
    server_->clearFaults();
    // Every answer cut off (Qt tries a closed connection once more on its own).
    server_->injectFault({"/downloads/latest.json", "GET", 0, {}, {}, 0, true, 0});
    const QString cut = failure();
    server_->clearFaults();
    EXPECT_FALSE(cut.isEmpty());
    EXPECT_NE(cut, text(UpdateError::Kind::badResponse)) << cut.toStdString();
    server_->stop();
    const QString refused = failure();
    EXPECT_TRUE(refused.contains("refused", Qt::CaseInsensitive)) << refused.toStdString();
}

TEST_F(FetchLatestTest, ChecksTurnIntoStateAndStoreTheirTime) {
    Updater& u = updater();
    serveFeed(feed(tlsURL(), "2"));
    WaitForTask::run(u.check(true));
    // Outside a bundle this program is build "0".
    ASSERT_TRUE(u.state().is(UpdateState::Kind::available));
    EXPECT_EQ(u.state().release.build, "2");
    ASSERT_TRUE(u.lastCheck());
    EXPECT_EQ(defaults_.value(DefaultsKeys::kLastUpdateCheck).toDateTime(), *u.lastCheck());

    serveFeed(feed(tlsURL(), "0"));
    WaitForTask::run(u.check(true));
    EXPECT_TRUE(u.state().is(UpdateState::Kind::upToDate));

    defaults_.remove(DefaultsKeys::kLastUpdateCheck);
    serveFeed("{}", 503);
    WaitForTask::run(u.check(true));
    EXPECT_EQ(u.state(), UpdateState::failed(text(UpdateError::Kind::badResponse)));
    // A failed check is not stored.
    EXPECT_FALSE(defaults_.value(DefaultsKeys::kLastUpdateCheck).isValid());

    serveFeed("{}", 503);
    WaitForTask::run(u.check(false));
    EXPECT_TRUE(u.state().is(UpdateState::Kind::idle));
}

TEST_F(FetchLatestTest, AutomaticChecksRunWhileOnAndStopWhenOff) {
    Updater& u = updater();
    QFile package(updates_.filePath("Kelvane-0.2.0-3-linux-amd64.tar.gz"));
    ASSERT_TRUE(package.open(QIODevice::WriteOnly));
    package.close();
    int checks = 0;
    QObject::connect(&u, &Updater::lastCheckChanged, [&checks] { ++checks; });
    u.setAutomatic(true);
    EXPECT_TRUE(u.isAutomatic());
    ASSERT_TRUE(waitUntil([&] { return checks >= 3; }, 10s)) << checks;
    EXPECT_TRUE(u.state().is(UpdateState::Kind::available));
    u.setAutomatic(false);
    ASSERT_TRUE(waitUntil([&] { return !u.state().is(UpdateState::Kind::checking); }));
    const int seen = checks;
    // Nothing is scheduled any more: three intervals pass without a check.
    EXPECT_FALSE(waitUntil([&] { return checks > seen; }, 600ms));
    EXPECT_FALSE(u.isAutomatic());
}
