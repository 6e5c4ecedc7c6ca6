#include "platform/PasteboardHandOff.h"
#include "shared/WaitForTask.h"
#include "tests/support/TestHome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <gtest/gtest.h>

namespace {

// A running instance's channel as far as the clipboard goes: it answers each request line
// with the reply it was given and keeps what it was asked.
class FakeInstance {
public:
    FakeInstance(const QString& path, QJsonObject reply) : reply_(std::move(reply)) {
        QLocalServer::removeServer(path);
        server_.listen(path);
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
            QLocalSocket* s = server_.nextPendingConnection();
            QObject::connect(s, &QLocalSocket::readyRead, s, [this, s] {
                if (!s->canReadLine())
                    return;
                requests.append(QJsonDocument::fromJson(s->readLine()).object());
                s->write(QJsonDocument(reply_).toJson(QJsonDocument::Compact) + '\n');
                s->disconnectFromServer();
            });
        });
    }
    QList<QJsonObject> requests;

private:
    QLocalServer server_;
    QJsonObject reply_;
};

class PasteboardHandOffTest : public testing::Test {
protected:
    PasteboardHandOff handOff(const QString& keeper) {
        return PasteboardHandOff({home.file("instance"), keeper, std::chrono::milliseconds(2000),
                                  std::chrono::milliseconds(5000)});
    }
    static QString failure(PasteboardHandOff& pasteboard, const QString& text) {
        try {
            WaitForTask::run(pasteboard.setString(text));
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }

    TestHome home;
};

TEST_F(PasteboardHandOffTest, TheRunningInstanceTakesTheTextFirst) {
    FakeInstance instance(home.file("instance"), {{"ok", true}});
    auto pasteboard = handOff(home.file("no-keeper"));
    EXPECT_EQ(failure(pasteboard, "https://k.example/open/a"), "");
    ASSERT_EQ(instance.requests.size(), 1);
    EXPECT_EQ(instance.requests[0].value("command"), "copyToClipboard");
    EXPECT_EQ(instance.requests[0].value("text"), "https://k.example/open/a");
    EXPECT_EQ(pasteboard.string(), QString("https://k.example/open/a"));
}

TEST_F(PasteboardHandOffTest, AnInstanceWithoutAClipboardHandsOverToTheKeeper) {
    FakeInstance instance(home.file("instance"), {{"error", "unknown command"}});
    auto keeping = handOff("/usr/bin/true");
    EXPECT_EQ(failure(keeping, "link"), "");
    EXPECT_EQ(keeping.string(), QString("link"));

    auto refusing = handOff("/usr/bin/false");
    const QString text = failure(refusing, "link");
    EXPECT_TRUE(text.contains("the running Kelvane has no clipboard: unknown command"))
        << text.toStdString();
    EXPECT_FALSE(refusing.string());
}

TEST_F(PasteboardHandOffTest, WithNeitherTheFailureSaysWhyAndAnEmptyTextNeedsNoKeeper) {
    auto pasteboard = handOff(home.file("no-keeper"));
    const QString text = failure(pasteboard, "link");
    EXPECT_TRUE(text.contains("no running Kelvane answers")) << text.toStdString();
    EXPECT_TRUE(text.contains("no-keeper is missing")) << text.toStdString();
    EXPECT_EQ(failure(pasteboard, ""), "");
    EXPECT_EQ(pasteboard.string(), QString(""));
}

} // namespace
