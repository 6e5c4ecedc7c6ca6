#include "tools/devserver/EventHub.h"
#include "tools/devserver/FaultRule.h"
#include "tools/devserver/FilespaceStore.h"
#include "tools/devserver/ServerOptions.h"

#include <gtest/gtest.h>

namespace {

TEST(DevServerParts, RelativePathsCannotClimbOut) {
    EXPECT_EQ(FilespaceStore::cleanRelativePath("a//b/./c.txt"), QString("a/b/c.txt"));
    EXPECT_EQ(FilespaceStore::cleanRelativePath("/lead/slash"), QString("lead/slash"));
    for (const QString& bad : QStringList{"", "/", ".", "../x", "a/../../x", "a/.."})
        EXPECT_EQ(FilespaceStore::cleanRelativePath(bad), std::nullopt) << bad.toStdString();
}

TEST(DevServerParts, FaultRulesMatchByPathPrefixAndMethod) {
    QString error;
    const auto prefix = FaultRule::fromJson({{"path", "/api/files/*"}, {"status", 500}}, &error);
    ASSERT_TRUE(prefix) << error.toStdString();
    EXPECT_TRUE(prefix->matches("GET", "/api/files/storage"));
    EXPECT_TRUE(prefix->matches("POST", "/api/files/"));
    EXPECT_FALSE(prefix->matches("GET", "/api/filespaces"));

    const auto exact = FaultRule::fromJson(
        {{"path", "/api/auth/me"}, {"method", "GET"}, {"cut", true}, {"count", 3}}, &error);
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->count, 3);
    EXPECT_TRUE(exact->matches("GET", "/api/auth/me"));
    EXPECT_FALSE(exact->matches("POST", "/api/auth/me"));
    EXPECT_FALSE(exact->matches("GET", "/api/auth/me/x"));

    EXPECT_FALSE(FaultRule::fromJson({{"path", "/x"}, {"status", "500"}}, &error));
    EXPECT_FALSE(FaultRule::fromJson({{"path", "/x"}, {"delay_ms", -1}}, &error));
}

TEST(DevServerParts, EventsAreFramedLineByLineAndDeliveredBeforeTheClose) {
    EXPECT_EQ(EventHub::format("file-change", "a\nb"), "event: file-change\ndata: a\ndata: b\n\n");

    EventHub hub;
    const EventHub::StreamPtr stream = hub.open();
    EXPECT_EQ(hub.publish("ping", "1"), 1);
    EXPECT_EQ(hub.closeAll(), 1);
    EXPECT_EQ(hub.publish("ping", "2"), 0);

    std::string message;
    EXPECT_EQ(hub.next(*stream, message, std::chrono::milliseconds(0)), EventHub::Next::Message);
    EXPECT_EQ(message, "event: ping\ndata: 1\n\n");
    EXPECT_EQ(hub.next(*stream, message, std::chrono::milliseconds(0)), EventHub::Next::Closed);
    hub.release(stream);
    EXPECT_EQ(hub.openCount(), 0);
}

TEST(DevServerParts, CommandLineOptionsParseOrExplainWhyNot) {
    QString error;
    const auto options = ServerOptions::parse(
        {"--demo", "--port", "8080", "--data", "/d", "--downloads", "/w"}, &error);
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->demo);
    EXPECT_EQ(options->port, 8080);
    EXPECT_EQ(options->dataDir, "/d");
    EXPECT_EQ(options->downloadsDir, "/w");

    EXPECT_FALSE(ServerOptions::parse({"--port", "70000"}, &error));
    EXPECT_FALSE(ServerOptions::parse({"--data"}, &error));
    EXPECT_FALSE(ServerOptions::parse({"--verbose"}, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
