#include "tests/support/DevServer.h"
#include "tests/support/WaitUntil.h"
#include "tools/devserver/tests/HttpProbe.h"

#include <QNetworkReply>
#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

namespace {

class FaultInjectionTest : public testing::Test {
protected:
    void SetUp() override { probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword); }

    DevServer server;
    HttpProbe probe{server.baseURL()};
};

TEST_F(FaultInjectionTest, AFaultAnswersWithItsStatusBodyAndContentType) {
    server.injectFault({.path = "/api/filespaces",
                        .status = 503,
                        .body = "maintenance",
                        .contentType = "text/plain"});

    const HttpAnswer answer = probe.get("/api/filespaces");

    EXPECT_EQ(answer.status, 503);
    EXPECT_EQ(answer.body, "maintenance");
    EXPECT_TRUE(answer.contentType.startsWith("text/plain"));
}

TEST_F(FaultInjectionTest, AFaultHitsOnlyItsCountOfMatchingRequests) {
    server.injectFault({.path = "/api/files/storage", .method = "GET", .status = 500, .count = 2});
    server.injectFault({.path = "/api/auth/me", .method = "POST", .status = 418});

    EXPECT_EQ(probe.get("/api/auth/me").status, 200);    // other method
    EXPECT_EQ(probe.get("/api/filespaces").status, 200); // other path
    EXPECT_EQ(probe.get("/api/files/storage").status, 500);
    EXPECT_EQ(probe.get("/api/files/storage").status, 500);
    EXPECT_EQ(probe.get("/api/files/storage").status, 200);
}

TEST_F(FaultInjectionTest, APrefixFaultWithoutCountLastsUntilCleared) {
    server.injectFault({.path = "/api/files/*", .status = 502, .count = 0});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(probe.get("/api/files/storage").status, 502);
    EXPECT_EQ(probe.get("/api/filespaces").status, 200);

    server.clearFaults();

    EXPECT_EQ(probe.get("/api/files/storage").status, 200);
}

TEST_F(FaultInjectionTest, ACutConnectionIsATransportErrorNotAnAnswer) {
    // Qt sends an idempotent request again when its connection closes unanswered, so a GET
    // sees the error only while every attempt is cut.
    server.injectFault({.path = "/api/filespaces", .cut = true, .count = 0});
    const HttpAnswer get = probe.get("/api/filespaces");
    EXPECT_TRUE(get.isTransportError());
    EXPECT_EQ(get.error, QNetworkReply::RemoteHostClosedError);
    server.clearFaults();

    server.injectFault({.path = "/api/auth/login", .cut = true});
    const QJsonObject credentials{{"email", DevServer::kDemoEmail},
                                  {"password", DevServer::kDemoPassword}};
    EXPECT_TRUE(probe.post("/api/auth/login", credentials).isTransportError());
    EXPECT_EQ(probe.post("/api/auth/login", credentials).status, 200);
}

TEST_F(FaultInjectionTest, ADelayHoldsTheAnswerBack) {
    server.injectFault({.path = "/api/files/storage", .delayMs = 60'000});

    const HttpAnswer held = probe.get("/api/files/storage", 500);
    EXPECT_TRUE(held.isTransportError());

    EXPECT_EQ(probe.get("/api/files/storage", 500).status, 200); // the delay was used up
}

TEST_F(FaultInjectionTest, TheServerCountsTheMostRequestsHeldAtOnce) {
    server.injectFault({.path = "/api/files/storage", .delayMs = 800, .count = 0});
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    for (int i = 0; i < 3; ++i)
        replies.emplace_back(
            probe.network().get(probe.request("/api/files/storage", HttpProbe::kDefaultTimeoutMs)));
    ASSERT_TRUE(waitUntil(
        [&] {
            return std::all_of(replies.begin(), replies.end(),
                               [](const auto& r) { return r->isFinished(); });
        },
        std::chrono::seconds(30)));
    for (const auto& r : replies)
        EXPECT_EQ(r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    EXPECT_EQ(server.mostHeldAtOnce(), 3);
    EXPECT_EQ(probe.get("/api/files/storage").status, 200);
    EXPECT_EQ(server.mostHeldAtOnce(), 3) << "one at a time leaves the peak";
    server.clearFaults();
    EXPECT_EQ(server.mostHeldAtOnce(), 0);
}

TEST_F(FaultInjectionTest, ADelayedFaultStillAnswersWithItsStatus) {
    server.injectFault({.path = "/api/auth/me", .status = 504, .delayMs = 50});

    EXPECT_EQ(probe.get("/api/auth/me").status, 504);
}

TEST_F(FaultInjectionTest, MalformedFaultsAreRefused) {
    EXPECT_THROW(server.injectFault({.path = "no-slash", .status = 500}), std::runtime_error);
    EXPECT_THROW(server.injectFault({.path = "/api/x", .status = 99}), std::runtime_error);
    EXPECT_THROW(server.injectFault({.path = "/api/x"}), std::runtime_error);
    EXPECT_THROW(server.injectFault({.path = "/api/x", .cutAfterBytes = -1}), std::runtime_error);
}

} // namespace
