#include "tests/support/DevServer.h"
#include "tools/devserver/tests/EventStreamReader.h"
#include "tools/devserver/tests/HttpProbe.h"

#include <QDeadlineTimer>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class EventStreamTest : public testing::Test {
protected:
    void SetUp() override { probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword); }

    // The server notices a departed client on its own schedule; ask until it has.
    bool waitForOpenStreams(int expected) {
        const QDeadlineTimer deadline(EventStreamReader::kWaitMs);
        while (server.openStreams() != expected) {
            if (deadline.hasExpired())
                return false;
        }
        return true;
    }

    DevServer server;
    HttpProbe probe{server.baseURL()};
};

TEST_F(EventStreamTest, TheStreamRequiresAToken) {
    HttpProbe anonymous(server.baseURL());
    EventStreamReader stream(anonymous);

    ASSERT_TRUE(stream.waitForEnd());
    EXPECT_EQ(stream.status(), 401);
}

TEST_F(EventStreamTest, AnAdminEventReachesAnOpenStream) {
    EventStreamReader stream(probe);
    ASSERT_TRUE(stream.waitForHeaders());
    EXPECT_EQ(stream.status(), 200);
    EXPECT_TRUE(stream.contentType().startsWith("text/event-stream"));

    server.emitEvent("file-change", R"({"path":"/Team/x"})");

    EXPECT_TRUE(stream.waitForText("event: file-change\ndata: {\"path\":\"/Team/x\"}\n\n"))
        << stream.received().toStdString();
}

TEST_F(EventStreamTest, AFileWrittenElsewhereIsOnDiskAndAnnounced) {
    EventStreamReader first(probe);
    EventStreamReader second(probe);
    ASSERT_TRUE(first.waitForHeaders());
    ASSERT_TRUE(second.waitForHeaders());

    server.writeFile("Team", "Notes/today.txt", "hello\n");

    const QByteArray expected = "event: file-change\ndata: {\"path\":\"/Team/Notes/today.txt\"}";
    EXPECT_TRUE(first.waitForText(expected)) << first.received().toStdString();
    EXPECT_TRUE(second.waitForText(expected)) << second.received().toStdString();
    QFile written(server.filespaceDir("Team") + "/Notes/today.txt");
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "hello\n");
}

TEST_F(EventStreamTest, ClosingTheStreamsEndsThemForTheClient) {
    EventStreamReader stream(probe);
    ASSERT_TRUE(stream.waitForHeaders());

    server.closeStreams();

    ASSERT_TRUE(stream.waitForEnd());
    EXPECT_EQ(stream.error(), QNetworkReply::NoError);
    EXPECT_EQ(server.openStreams(), 0);
}

TEST_F(EventStreamTest, TheServerLetsGoOfAClientThatLeft) {
    auto stream = std::make_unique<EventStreamReader>(probe);
    ASSERT_TRUE(stream->waitForHeaders());
    ASSERT_EQ(server.openStreams(), 1);

    stream->abort();

    EXPECT_TRUE(waitForOpenStreams(0));
}

TEST_F(EventStreamTest, BadFileWritesAreRefusedWithoutAnEvent) {
    EXPECT_THROW(server.writeFile("Team", "../escape.txt", "x"), std::runtime_error);
    EXPECT_THROW(server.writeFile("Nowhere", "a.txt", "x"), std::runtime_error);
    EXPECT_FALSE(QFile::exists(server.dataDir() + "/filespaces/escape.txt"));
}

} // namespace
