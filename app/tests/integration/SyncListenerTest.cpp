#include "app/activity/SyncListener.h"
#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/settings/Keychain.h"
#include "app/tests/support/ClientServices.h"
#include "platform/FileViewer.h"
#include "platform/UserDefaults.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/InvalidationToken.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// The real listener against the real dev server, refreshing a real file-provider manager in
// a temporary home.
class SyncListenerTest : public ::testing::Test {
protected:
    SyncListenerTest() {
        api.setBaseURL(QUrl(server.apiURL()));
        WaitForTask::run(api.setToken(server.demoToken()));
        QObject::connect(&fileProvider, &FileProviderManager::refreshed, [this] { ++refreshes; });
    }

    // A listener with the given pauses, counting what it reports.
    std::unique_ptr<SyncListener> makeListener(SyncListener::Options options = {}) {
        auto listener = std::make_unique<SyncListener>(api, fileProvider, options);
        QObject::connect(listener.get(), &SyncListener::streamOpened, [this] { ++opened; });
        QObject::connect(listener.get(), &SyncListener::streamClosed, [this] { ++closed; });
        QObject::connect(listener.get(), &SyncListener::fileChangeReceived, [this] { ++changes; });
        return listener;
    }
    // The server holds exactly `count` open streams.
    bool serverStreamsBecome(int count) {
        return waitUntil([&] { return server.openStreams() == count; });
    }

    TestHome home;
    DevServer server;
    ClientServices services;
    Keychain& keychain = services.keychain;
    APIClient& api = services.api;
    FileProviderDomainRegistry registry;
    RecordingViewer viewer;
    FileProviderManager fileProvider{registry, viewer};
    int refreshes = 0, opened = 0, closed = 0, changes = 0;
};

TEST_F(SyncListenerTest, ChangeBurstRefreshesAtOnceAndOnceMoreAtTheEndOfTheWindow) {
    auto listener = makeListener();
    listener->start();
    ASSERT_TRUE(serverStreamsBecome(1));
    ASSERT_TRUE(waitUntil([&] { return opened == 1; }));

    server.emitEvent("file-changed", "{}"); // a different event name
    server.emitEvent("ping", "file-change");
    for (int i = 0; i < 3; ++i)
        server.emitEvent("file-change", R"({"path":"/Team/a.txt"})");
    ASSERT_TRUE(waitUntil([&] { return changes == 3; }));
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(listener->throttle().pendingDelay());
    EXPECT_NE(InvalidationToken::read(), "initial");

    ASSERT_TRUE(waitUntil([&] { return refreshes == 2; }, 10s));
    EXPECT_FALSE(listener->throttle().pendingDelay()) << "nothing else is due";
    EXPECT_TRUE(listener->isStreaming());
}

TEST_F(SyncListenerTest, ReconnectsThreeSecondsAfterTheServerClosesTheStream) {
    auto listener = makeListener();
    listener->start();
    ASSERT_TRUE(waitUntil([&] { return opened == 1; }));
    ASSERT_TRUE(serverStreamsBecome(1));
    // The next connection must carry the token the keychain holds then.
    WaitForTask::run(api.setToken(server.demoToken()));

    server.closeStreams();
    ASSERT_TRUE(waitUntil([&] { return closed == 1; }));
    EXPECT_FALSE(listener->isStreaming());
    EXPECT_TRUE(listener->isReconnectPending());
    ASSERT_TRUE(waitUntil([&] { return opened == 2; }, 10s));
    ASSERT_TRUE(serverStreamsBecome(1));

    server.emitEvent("file-change", "{}");
    EXPECT_TRUE(waitUntil([&] { return refreshes == 1; }));
}

TEST_F(SyncListenerTest, AServerThatGoesAwayAndComesBackIsReconnectedTo) {
    auto listener = makeListener(SyncListener::Options{3s, 200ms, {}});
    listener->start();
    ASSERT_TRUE(waitUntil([&] { return opened == 1; }));
    server.stop();
    ASSERT_TRUE(waitUntil([&] { return closed >= 2; })) << "refused attempts keep coming";
    server.start();
    ASSERT_TRUE(waitUntil([&] { return opened >= 2 && listener->isStreaming(); }, 20s));
    ASSERT_TRUE(serverStreamsBecome(1));
    server.emitEvent("file-change", "{}");
    EXPECT_TRUE(waitUntil([&] { return refreshes == 1; }));
}

TEST_F(SyncListenerTest, AStreamClosedEverySecondNeverLeavesTwoConnections) {
    auto listener = makeListener(SyncListener::Options{3s, 100ms, {}});
    listener->start();
    for (int round = 1; round <= 4; ++round) {
        ASSERT_TRUE(waitUntil([&] { return opened == round; })) << "round " << round;
        ASSERT_TRUE(serverStreamsBecome(1));
        server.closeStreams();
        ASSERT_TRUE(waitUntil([&] { return closed == round; }));
    }
    ASSERT_TRUE(waitUntil([&] { return opened == 5; }));
    ASSERT_TRUE(serverStreamsBecome(1));
    server.emitEvent("file-change", "{}");
    EXPECT_TRUE(waitUntil([&] { return refreshes == 1; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(listener->findChildren<QNetworkAccessManager*>().size(), 1);
}

TEST_F(SyncListenerTest, ErrorAnswersAndGarbageAreReadAndThenReconnected) {
    server.injectFault(Fault{
        "/api/events", "GET", 500,
        QByteArray("\xff\xfe\x00 garbage\nevent: nope\ndata: file-change\n", 37), "text/plain"});
    auto listener = makeListener(SyncListener::Options{3s, 100ms, {}});
    listener->start();
    ASSERT_TRUE(waitUntil([&] { return closed == 1; }));
    EXPECT_EQ(changes, 0);
    ASSERT_TRUE(waitUntil([&] { return listener->isStreaming() && opened == 2; }));
    ASSERT_TRUE(serverStreamsBecome(1));
    server.emitEvent("file-change", "{}");
    EXPECT_TRUE(waitUntil([&] { return refreshes == 1; }));
}

TEST_F(SyncListenerTest, StopStaysStoppedAndReleasesTheConnection) {
    auto listener = makeListener(SyncListener::Options{3s, 100ms, {}});
    listener->start();
    ASSERT_TRUE(serverStreamsBecome(1));
    listener->stop();
    EXPECT_FALSE(listener->isStreaming());
    EXPECT_FALSE(listener->isReconnectPending());
    ASSERT_TRUE(serverStreamsBecome(0));
    EXPECT_EQ(closed, 0) << "a deliberate stop is not a dropped stream";
    EXPECT_FALSE(listener->isReconnectPending());

    listener->start(); // a later start opens it again
    ASSERT_TRUE(serverStreamsBecome(1));
}

TEST_F(SyncListenerTest, EachStartOpensAFreshConnectionAndDropsTheOldOne) {
    auto listener = makeListener();
    listener->start();
    ASSERT_TRUE(serverStreamsBecome(1));
    listener->start();
    listener->start();
    ASSERT_TRUE(serverStreamsBecome(1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(listener->findChildren<QNetworkAccessManager*>().size(), 1);
    server.emitEvent("file-change", "{}");
    EXPECT_TRUE(waitUntil([&] { return refreshes == 1; }));
}

TEST_F(SyncListenerTest, WithoutTokenOrAddressNothingStartsOrRetries) {
    auto listener = makeListener(SyncListener::Options{3s, 100ms, {}});
    WaitForTask::run(api.setToken(std::nullopt));
    listener->start();
    EXPECT_FALSE(listener->isStreaming());
    EXPECT_FALSE(listener->isReconnectPending());

    WaitForTask::run(api.setToken(server.demoToken()));
    api.setBaseURL(std::nullopt);
    listener->start();
    EXPECT_FALSE(listener->isStreaming());
    EXPECT_FALSE(listener->isReconnectPending());
    EXPECT_EQ(server.openStreams(), 0);
}

TEST(SyncListenerAddress, BaseWithOrWithoutTrailingSlashGivesOneEventsAddress) {
    TestHome home;
    ClientServices services;
    APIClient& api = services.api;
    api.setBaseURL(QUrl("http://127.0.0.1:9/api/"));
    const QUrl withSlash = api.resolvedURL("events");
    api.setBaseURL(QUrl("http://127.0.0.1:9/api"));
    EXPECT_EQ(api.resolvedURL("events"), withSlash);
    EXPECT_EQ(withSlash.toString(), "http://127.0.0.1:9/api/events");
}

} // namespace
