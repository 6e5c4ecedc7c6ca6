#include "app/shell/InstanceChannel.h"
#include "platform/Paths.h"
#include "tests/support/TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QtConcurrent>
#include <gtest/gtest.h>

namespace {

// ask() blocks, so it runs on a worker while this thread's loop serves the channel.
std::optional<QJsonObject> askFromWorker(const QJsonObject& request) {
    QFuture<std::optional<QJsonObject>> f =
        QtConcurrent::run([request] { return InstanceChannel::ask(request, 5'000); });
    while (!f.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return f.result();
}

} // namespace

TEST(InstanceChannel, OneInstancePerHomeAnswersRequests) {
    TestHome home;
    EXPECT_FALSE(InstanceChannel::ask({{"command", "ping"}}, 500)) << "nobody is listening yet";

    InstanceChannel first;
    ASSERT_TRUE(first.listen());
    first.handle("status", InstanceChannel::Answer([](const QJsonObject& r) {
                     return QJsonObject{{"echo", r.value("command")}};
                 }));
    const auto reply = askFromWorker({{"command", "status"}});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value("echo").toString(), "status");

    // A second instance in the same home is refused while the first one answers.
    QFuture<bool> second = QtConcurrent::run([] {
        InstanceChannel other;
        return other.listen();
    });
    while (!second.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(second.result());

    // Another home has its own channel.
    TestHome other;
    EXPECT_NE(InstanceChannel::socketPath(), QString());
    InstanceChannel elsewhere;
    EXPECT_TRUE(elsewhere.listen());
}

TEST(InstanceChannel, SocketLeftByACrashIsTakenOver) {
    TestHome home;
    // An instance killed outright leaves its socket file behind with nobody listening.
    QDir().mkpath(Paths::runtimeDir());
    QFile leftover(InstanceChannel::socketPath());
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    InstanceChannel channel;
    ASSERT_TRUE(channel.listen());
    channel.handle("ping", InstanceChannel::Answer([](const QJsonObject&) {
                       return QJsonObject{{"ok", true}};
                   }));
    const auto reply = askFromWorker({{"command", "ping"}});
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->value("ok").toBool());
    // A command nobody handles is answered, not dropped.
    const auto unknown = askFromWorker({{"command", "no-such-command"}});
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->value("error").toString(), "unknown command");
}

TEST(InstanceChannel, OfManyStartingAtOnceExactlyOneWins) {
    TestHome home;
    // Each claim is its own lock description, as separate processes would have.
    std::vector<std::unique_ptr<InstanceChannel>> channels(8);
    int winners = 0;
    for (auto& channel : channels) {
        channel = std::make_unique<InstanceChannel>();
        winners += channel->listen() ? 1 : 0;
    }
    EXPECT_EQ(winners, 1);
    // The lock goes with its holder: the next start wins.
    channels.clear();
    InstanceChannel next;
    EXPECT_TRUE(next.listen());
}
