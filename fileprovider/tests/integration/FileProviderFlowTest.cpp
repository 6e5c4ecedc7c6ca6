#include "fileprovider/tests/support/Programs.h"
#include "shared/InvalidationToken.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
constexpr qint64 kMiB = 1024 * 1024;

// A user's whole round with the real programs: the dev server, Kelvane signed in and running
// headless in its file-provider mode, and the extension's host putting, getting, moving,
// removing and linking a 100 MiB file while `kelvane status` shows the transfers.
class FileProviderFlowTest : public testing::Test {
protected:
    void SetUp() override {
        const auto signIn = Programs::kelvane(
            {"sign-in", "--server", server.apiURL(), "--email", DevServer::kDemoEmail},
            DevServer::kDemoPassword.toUtf8() + "\n");
        ASSERT_EQ(signIn.exitCode, 0) << signIn.err.toStdString();
        app.setProcessEnvironment(Programs::environment());
        app.start(QStringLiteral(KELVANE_APP_PATH), {"--headless", "--file-provider"});
        ASSERT_TRUE(waitUntil(
            [&] {
                appOutput += QString::fromUtf8(app.readAllStandardOutput());
                return appOutput.contains("Background auto-sync started") &&
                       InvalidationToken::read() != QLatin1String("initial");
            },
            60s))
            << appOutput.toStdString();
    }
    void TearDown() override {
        if (host.state() != QProcess::NotRunning) {
            host.kill();
            host.waitForFinished(10'000);
        }
        app.terminate();
        if (!app.waitForFinished(30'000)) {
            app.kill();
            app.waitForFinished(10'000);
        }
    }

    // Starts one host command and waits, asking `kelvane status` all the while, until the
    // status shows the line; returns whether it did. The command's answer is in `hostRun`.
    bool runWhileStatusShows(const QStringList& args, const QString& line) {
        host.setProcessEnvironment(Programs::environment());
        host.start(QStringLiteral(KELVANE_FILEPROVIDER_PATH), args);
        bool seen = false;
        waitUntil(
            [&] {
                if (!seen)
                    seen = Programs::kelvane({"status"}).out.contains(line);
                return host.state() == QProcess::NotRunning;
            },
            120s);
        host.waitForFinished(10'000);
        hostRun = {host.exitCode(), QString::fromUtf8(host.readAllStandardOutput()),
                   QString::fromUtf8(host.readAllStandardError())};
        return seen;
    }
    QJsonArray requestsTo(const QString& prefix, const QString& method) {
        QJsonArray found;
        for (const QJsonValue& v : server.requests())
            if (v["path"].toString().startsWith(prefix) && v["method"].toString() == method)
                found.append(v);
        return found;
    }

    TestHome home;
    DevServer server;
    QProcess app;
    QProcess host;
    QString appOutput;
    Programs::Run hostRun;
};

TEST_F(FileProviderFlowTest, PutGetMoveRemoveAndLinkAHundredMebibyteFile) {
    QFile big(home.file("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    QByteArray chunk(kMiB, Qt::Uninitialized);
    for (int i = 0; i < 100; ++i) {
        chunk.fill(char('a' + i % 26));
        chunk[i] = 'Z';
        big.write(chunk);
    }
    big.close();

    // Every part waits a moment at the store, so the upload is seen while it runs and the
    // server can count the parts it holds at once.
    server.injectFault(
        {.path = "/objects/uploads/*", .method = "PUT", .delayMs = 1500, .count = 0});
    const bool uploadShown = runWhileStatusShows({"put", home.file("big.bin"), "/Team/big.bin"},
                                                 "  upload /Team/big.bin: ");
    ASSERT_EQ(hostRun.exitCode, 0) << hostRun.err.toStdString();
    EXPECT_TRUE(uploadShown) << "kelvane status showed the upload while it ran";
    EXPECT_TRUE(hostRun.out.startsWith("file\t104857600\t"));
    EXPECT_EQ(requestsTo("/objects/uploads/", "PUT").size(), 10) << "ten parts";
    EXPECT_EQ(server.mostHeldAtOnce(), 8) << "eight parts run at once, never more";
    QList<int> partNumbers;
    for (const QJsonValue& v : requestsTo("/api/files/direct-multipart-part-url", "POST"))
        partNumbers.append(
            QJsonDocument::fromJson(v["body"].toString().toUtf8())["partNumber"].toInt());
    // Requests overtake each other on their way over several connections; but parts 9 and
    // 10 are asked for only once a part of the first eight has finished.
    ASSERT_EQ(partNumbers.size(), 10);
    QList<int> firstEight = partNumbers.mid(0, 8);
    std::sort(firstEight.begin(), firstEight.end());
    EXPECT_EQ(firstEight, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(QSet<int>(partNumbers.begin() + 8, partNumbers.end()), (QSet<int>{9, 10}));
    server.clearFaults();

    server.injectFault({.path = "/objects/files/*", .method = "GET", .delayMs = 1500});
    const bool downloadShown = runWhileStatusShows({"get", "/Team/big.bin", home.file("back.bin")},
                                                   "  download /Team/big.bin: ");
    ASSERT_EQ(hostRun.exitCode, 0) << hostRun.err.toStdString();
    EXPECT_TRUE(downloadShown) << "kelvane status showed the download while it ran";
    QFile back(home.file("back.bin"));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly) && big.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.size(), 100 * kMiB);
    bool identical = true;
    while (identical && !big.atEnd())
        identical = big.read(4 * kMiB) == back.read(4 * kMiB);
    EXPECT_TRUE(identical) << "the bytes came back as they went";

    const auto moved = Programs::fileProvider({"mv", "/Team/big.bin", "/Team/Big copy.bin"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err.toStdString();
    EXPECT_TRUE(moved.out.trimmed().endsWith("\t/Team/Big copy.bin"));

    const auto linked = Programs::fileProvider({"--clipboard-keeper", KELVANE_FAKE_KEEPER_PATH,
                                                "action", "copy-share-link", "/Team/Big copy.bin"});
    ASSERT_EQ(linked.exitCode, 0) << linked.err.toStdString();
    QFile clipboard(home.file("clipboard.txt"));
    ASSERT_TRUE(clipboard.open(QIODevice::ReadOnly));
    EXPECT_EQ(clipboard.readAll(), (server.baseURL() + "/open/Team/Big%20copy.bin").toUtf8());

    const auto removed = Programs::fileProvider({"rm", "/Team/Big copy.bin"});
    EXPECT_EQ(removed.out, "deleted\t/Team/Big copy.bin\n");
    EXPECT_FALSE(QFile::exists(server.filespaceDir("Team") + "/Big copy.bin"));
    EXPECT_TRUE(waitUntil(
        [] { return !Programs::kelvane({"status"}).out.contains("File provider:"); }, 10s))
        << "nothing is left moving";
}

} // namespace
