#include "tests/support/DevServer.h"
#include "tools/devserver/tests/HttpProbe.h"
#include "tools/devserver/tests/RawHttp.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DownloadsTest : public testing::Test {
protected:
    static QString makeFolder(const QString& path) {
        QDir().mkpath(path);
        return path;
    }

    void putFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir root;
    QString downloads = makeFolder(root.filePath("downloads"));
    DevServer server{{.extraArgs = {"--downloads", downloads}}};
    HttpProbe probe{server.baseURL()};
};

TEST_F(DownloadsTest, ServesTheFolderFilesByteForByte) {
    QByteArray archive(300 * 1024, Qt::Uninitialized);
    for (char& byte : archive)
        byte = char(QRandomGenerator::global()->bounded(256));
    putFile(downloads + "/juicefs-1.3.1-linux-amd64.tar.gz", archive);
    putFile(downloads + "/latest.json", R"({"version":"1.0"})");

    const HttpAnswer got = probe.get("/downloads/juicefs-1.3.1-linux-amd64.tar.gz");
    EXPECT_EQ(got.status, 200);
    EXPECT_TRUE(got.body == archive);
    const HttpAnswer feed = probe.get("/downloads/latest.json");
    EXPECT_EQ(feed.body, R"({"version":"1.0"})");
    EXPECT_TRUE(feed.contentType.startsWith("application/json"));

    EXPECT_EQ(probe.get("/downloads/missing.tar.gz").status, 404);
}

TEST_F(DownloadsTest, NamesThatClimbOutOfTheFolderAreRefused) {
    putFile(root.filePath("secret.txt"), "secret");

    for (const QByteArray& target :
         {QByteArray("/downloads/../secret.txt"), QByteArray("/downloads/%2E%2E%2Fsecret.txt"),
          QByteArray("/downloads/..")}) {
        const QByteArray answer = RawHttp::exchange(
            server.port(), "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(RawHttp::statusOf(answer), 400) << target.toStdString();
        EXPECT_FALSE(answer.contains("secret\r")) << target.toStdString();
    }
}

TEST(DevServerRobustness, MalformedAndHugeRequestsDoNotBringItDown) {
    DevServer server;
    const QList<QByteArray> requests = {
        "NONSENSE\r\n\r\n",
        "GET /" + QByteArray(20000, 'a') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
        "POST /api/auth/login HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999\r\n"
        "Connection: close\r\n\r\n{",
        "POST /api/auth/login HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nConnection: close\r\n"
        "\r\n\xff\xfe\x00\x01\x02",
    };
    for (const QByteArray& request : requests) {
        const int status = RawHttp::statusOf(RawHttp::exchange(server.port(), request));
        EXPECT_TRUE(status == 0 || status >= 400) << request.left(40).toStdString();
    }

    HttpProbe probe(server.baseURL());
    EXPECT_EQ(probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword).status, 200);
}

} // namespace
