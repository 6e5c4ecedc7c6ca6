#include "tests/support/TestHome.h"
#include "tools/devengine/tests/EngineProcess.h"
#include "tools/devengine/tests/MountedVolume.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// A port nobody listens on right now, found as the client finds one.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length);
    ::close(fd);
    return ntohs(where.sin_port);
}

QByteArray httpGet(int port, const QByteArray& target) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForConnected(2000))
        return {};
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(2000)) {
    }
    return socket.readAll();
}

// Labelled juicefs_sync_* lines, read the way the client reads them.
std::map<QString, double> syncMetrics(const QByteArray& body) {
    std::map<QString, double> values;
    for (const QString& line : QString::fromUtf8(body).split(QLatin1Char('\n'))) {
        if (!line.startsWith(QStringLiteral("juicefs_sync_")) || !line.contains(QLatin1Char('{')))
            continue;
        values[line.left(line.indexOf(QLatin1Char('{')))] =
            line.mid(line.lastIndexOf(QLatin1Char(' ')) + 1).toDouble();
    }
    return values;
}

class SyncTest : public testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(home_.file("Photos/2024/trip"));
        QDir().mkpath(home_.file("volume"));
        writeFile(home_.file("Photos/cover.jpg"), QByteArray(400000, 'c'));
        writeFile(home_.file("Photos/2024/trip/day1.jpg"), "day one");
        writeFile(home_.file("Photos/2024/notes.txt"), "notes");
        env_.insert(QStringLiteral("Team"), QStringLiteral("file://") + home_.file("volume"));
    }

    QStringList syncArgs(int port) const {
        return {"sync",
                "-p",
                "32",
                "--update",
                "--metrics",
                QStringLiteral("127.0.0.1:%1").arg(port),
                home_.file("Photos") + "/",
                "jfs://Team/Photos/"};
    }

    TestHome home_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
};

} // namespace

TEST_F(SyncTest, CopiesATreeIntoTheVolumeWhileServingProgress) {
    const int port = freePort();
    QProcess sync;
    sync.setProcessEnvironment(env_);
    // 1 Mbps keeps the copy running for over three seconds, long enough to be watched.
    sync.start(EngineProcess::path(), syncArgs(port) << "--bwlimit"
                                                     << "1");
    ASSERT_TRUE(sync.waitForStarted());

    QByteArray body;
    EXPECT_TRUE(pollUntil([&] {
        body = httpGet(port, "/metrics");
        return !body.isEmpty() || sync.state() == QProcess::NotRunning;
    }));
    EXPECT_TRUE(body.startsWith("HTTP/1.1 200 OK")) << body.toStdString();
    const auto metrics = syncMetrics(body);
    for (const char* name :
         {"juicefs_sync_scanned", "juicefs_sync_handled", "juicefs_sync_copied",
          "juicefs_sync_copied_bytes", "juicefs_sync_failed", "juicefs_sync_pending"})
        EXPECT_TRUE(metrics.count(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(httpGet(port, "/elsewhere").startsWith("HTTP/1.1 404"));

    ASSERT_TRUE(sync.waitForFinished(120000));
    EXPECT_EQ(sync.exitCode(), 0) << sync.readAllStandardError().toStdString();
    const QString target = home_.file("volume/Photos");
    EXPECT_EQ(readFile(target + "/cover.jpg"), QByteArray(400000, 'c'));
    EXPECT_EQ(readFile(target + "/2024/trip/day1.jpg"), "day one");
    EXPECT_EQ(readFile(target + "/2024/notes.txt"), "notes");
    EXPECT_EQ(QFileInfo(target + "/2024/notes.txt").lastModified(),
              QFileInfo(home_.file("Photos/2024/notes.txt")).lastModified());
    EXPECT_TRUE(QDir(target).entryList(QDir::Hidden | QDir::Files).filter(".tmp").isEmpty());
}

TEST_F(SyncTest, ASecondRunWithUpdateCopiesOnlyWhatChanged) {
    ASSERT_EQ(EngineProcess::run(syncArgs(freePort()), env_).exitCode, 0);
    writeFile(home_.file("Photos/2024/notes.txt"), "notes, longer");
    const EngineRun again = EngineProcess::run(syncArgs(freePort()), env_);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains("copied: 1 ")) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains("skipped: 2")) << again.err.toStdString();
    EXPECT_EQ(readFile(home_.file("volume/Photos/2024/notes.txt")), "notes, longer");
}

TEST_F(SyncTest, AVolumeWithoutItsMetaUrlVariableFails) {
    env_.remove(QStringLiteral("Team"));
    const EngineRun run = EngineProcess::run(syncArgs(freePort()), env_);
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("<FATAL>: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Team"));
    EXPECT_FALSE(QFileInfo::exists(home_.file("volume/Photos")));
}
