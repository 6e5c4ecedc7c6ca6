#include "app/shell/ClipboardCommands.h"
#include "app/shell/InstanceChannel.h"
#include "platform/InstanceSocket.h"
#include "platform/Paths.h"
#include "shared/ClipboardRequest.h"
#include "tests/support/FakeClipboard.h"
#include "tests/support/TestHome.h"

#include <QCoreApplication>
#include <QtConcurrent>
#include <gtest/gtest.h>

namespace {

// The socket client blocks, so it runs on a worker while this thread's loop serves the
// channel, exactly as kelvane-findersync reaches a running Kelvane.
std::optional<QJsonObject> askFromWorker(const QJsonObject& request) {
    QFuture<std::optional<QJsonObject>> f = QtConcurrent::run([request] {
        return InstanceSocket::ask(Paths::instanceSocket(), request, std::chrono::seconds(5));
    });
    while (!f.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return f.result();
}

} // namespace

TEST(ClipboardCommands, ARunningKelvaneWithAClipboardTakesTheTextOthersHandIt) {
    TestHome home;
    EXPECT_FALSE(InstanceSocket::ask(Paths::instanceSocket(), ClipboardRequest::make("x"),
                                     std::chrono::milliseconds(500)))
        << "nobody is listening yet";

    InstanceChannel channel;
    ASSERT_TRUE(channel.listen());
    // A headless instance has no clipboard and does not register the command.
    auto reply = askFromWorker(ClipboardRequest::make("https://h/files/a"));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(ClipboardRequest::isAccepted(*reply));
    EXPECT_EQ(reply->value("error").toString(), "unknown command");

    FakeClipboard clipboard;
    ClipboardCommands::registerClipboard(channel, clipboard);
    reply = askFromWorker(ClipboardRequest::make("https://h/files/a\nhttps://h/view/b"));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(ClipboardRequest::isAccepted(*reply));
    EXPECT_EQ(clipboard.texts, QStringList{"https://h/files/a\nhttps://h/view/b"});

    // Nothing, something that is not text, or more than any list of links: refused, untouched.
    for (const QJsonObject& bad :
         {ClipboardRequest::make(""), QJsonObject{{"command", ClipboardRequest::kCommand}},
          QJsonObject{{"command", ClipboardRequest::kCommand}, {"text", 5}},
          ClipboardRequest::make(QString(ClipboardRequest::kMaxTextLength + 1, 'x'))}) {
        reply = askFromWorker(bad);
        ASSERT_TRUE(reply);
        EXPECT_FALSE(ClipboardRequest::isAccepted(*reply));
        EXPECT_TRUE(reply->contains("error"));
    }
    EXPECT_EQ(clipboard.texts.size(), 1);
}
