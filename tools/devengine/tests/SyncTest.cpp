#include "tests/support/FileTree.h"
#include "tests/support/TestHome.h"
#include "tools/devengine/tests/EngineProcess.h"
#include "tools/devengine/tests/MountedVolume.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

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

QString lastLine(const QByteArray& err) {
    return QString::fromUtf8(err).trimmed().split(QLatin1Char('\n')).last();
}

class SyncTest : public testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(home_.file("Photos/2024/trip"));
        QDir().mkpath(home_.file("volume"));
        writeFile(home_.file("Photos/cover.jpg"), QByteArray(1500000, 'c'));
        writeFile(home_.file("Photos/2024/trip/day1.jpg"), "day one");
        writeFile(home_.file("Photos/2024/notes.txt"), "notes");
        env_.insert(QStringLiteral("team"), QStringLiteral("file://") + home_.file("volume"));
    }

    QStringList syncArgs(int port, const QString& destination = "jfs://team/Photos/") const {
        return {"sync",
                "-p",
                "32",
                "--update",
                "--metrics",
                QStringLiteral("127.0.0.1:%1").arg(port),
                home_.file("Photos") + "/",
                destination};
    }

    // Runs the engine as an unprivileged user, whom file modes stop (they do not stop root).
    EngineRun runUnprivileged(const QStringList& args) {
        QProcess process;
        process.setProcessEnvironment(env_);
        process.setChildProcessModifier([] {
            if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(125);
        });
        process.start(EngineProcess::path(), args);
        EngineRun run;
        run.finished = process.waitForFinished(60'000);
        if (!run.finished)
            process.kill();
        process.waitForFinished(5000);
        run.exitCode = process.exitCode();
        run.err = process.readAllStandardError();
        return run;
    }
    // Lets the unprivileged user into the test's folders.
    void openHomeToEveryone() {
        QProcess::execute("/usr/bin/chmod", {"-R", "a+rwX", home_.path()});
    }

    TestHome home_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
};

} // namespace

TEST_F(SyncTest, CopiesATreeIntoTheVolumeWhileServingProgress) {
    const int port = freePort();
    QProcess sync;
    sync.setProcessEnvironment(env_);
    // 4 Mbps keeps the copy running for about three seconds, long enough to be watched.
    sync.start(EngineProcess::path(), syncArgs(port) << "--bwlimit"
                                                     << "4");
    ASSERT_TRUE(sync.waitForStarted());

    QByteArray body;
    EXPECT_TRUE(pollUntil([&] {
        body = httpGet(port, "/metrics");
        return syncMetrics(body)["juicefs_sync_copied_bytes"] >= 1e6 ||
               sync.state() == QProcess::NotRunning;
    }));
    EXPECT_TRUE(body.startsWith("HTTP/1.1 200 OK")) << body.toStdString();
    const auto metrics = syncMetrics(body);
    for (const char* name :
         {"juicefs_sync_scanned", "juicefs_sync_handled", "juicefs_sync_copied",
          "juicefs_sync_copied_bytes", "juicefs_sync_failed", "juicefs_sync_pending"})
        EXPECT_TRUE(metrics.count(QString::fromLatin1(name))) << name;
    // What a real exporter adds: comments, other families, unlabelled lines, Go's exponent form.
    EXPECT_TRUE(body.contains("# TYPE juicefs_sync_copied_bytes counter\n"));
    EXPECT_TRUE(body.contains("juicefs_sync_go_goroutines{cmd=\"sync\",pid=\""));
    EXPECT_TRUE(body.contains("\npromhttp_metric_handler_requests_in_flight 1\n"));
    EXPECT_TRUE(QString::fromUtf8(body).contains(
        QRegularExpression(R"(\njuicefs_sync_copied_bytes\{[^}]+\} \d(\.\d+)?e\+06\n)")))
        << body.toStdString();
    EXPECT_TRUE(httpGet(port, "/elsewhere").startsWith("HTTP/1.1 404"));

    ASSERT_TRUE(sync.waitForFinished(120000));
    EXPECT_EQ(sync.exitCode(), 0) << sync.readAllStandardError().toStdString();
    const QString target = home_.file("volume/Photos");
    EXPECT_EQ(readFile(target + "/cover.jpg"), QByteArray(1500000, 'c'));
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
    EXPECT_TRUE(lastLine(again.err).contains("Found: 3, skipped: 2, copied: 1 ("))
        << again.err.toStdString();
    EXPECT_EQ(readFile(home_.file("volume/Photos/2024/notes.txt")), "notes, longer");
}

TEST_F(SyncTest, CopiesOddNamesByteForByteAndSkipsThemAllTheSecondTime) {
    const std::filesystem::path source = home_.file("Odd").toStdString();
    FileTree::writeOddTree(source, 300);
    const QStringList args = {
        "sync", "-p", "8", "--update", QString::fromStdString(source) + "/", "jfs://team/Odd/"};
    const EngineRun first = EngineProcess::run(args, env_);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const auto copied = FileTree::read(home_.file("volume/Odd").toStdString());
    EXPECT_EQ(copied.size(), 300u);
    EXPECT_TRUE(FileTree::differences(FileTree::read(source), copied).empty());
    for (const auto& [path, entry] : FileTree::read(source))
        EXPECT_EQ(copied.at(path).mtime, entry.mtime) << path;

    const EngineRun second = EngineProcess::run(args, env_);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(lastLine(second.err).contains("skipped: 300, copied: 0 ("))
        << second.err.toStdString();
}

TEST_F(SyncTest, ReadsBothSidesAsUrlsLikeTheRealClient) {
    QDir().mkpath(home_.file("In #1"));
    writeFile(home_.file("In #1/a.txt"), "a");
    // Escaped, the name arrives whole; the client must escape "#", "?" and "%" for that.
    const QString escaped = "file://" + home_.file("In %231") + "/";
    ASSERT_EQ(
        EngineProcess::run({"sync", escaped, "jfs://team/50%25%20%231%20%3Fx/"}, env_).exitCode, 0);
    EXPECT_EQ(readFile(home_.file("volume/50% #1 ?x/a.txt")), "a");
    // Unescaped, "#" starts a fragment: the path ends before it.
    const EngineRun cut = EngineProcess::run({"sync", home_.file("In #1") + "/", "/tmp/x/"}, env_);
    EXPECT_NE(cut.exitCode, 0);
    EXPECT_TRUE(lastLine(cut.err).contains("source " + home_.file("In ") + " does not exist"))
        << cut.err.toStdString();
    // ".." cannot climb out of the volume.
    ASSERT_EQ(EngineProcess::run({"sync", escaped, "jfs://team/../../Out/"}, env_).exitCode, 0);
    EXPECT_EQ(readFile(home_.file("volume/Out/a.txt")), "a");
    for (const auto& [arguments, message] : std::vector<std::pair<QStringList, QString>>{
             {{escaped, "jfs://team/a%zz/"}, "invalid URL escape"},
             {{escaped, "jfs://team/line\nfeed/"}, "invalid control character"},
             {{escaped, "jfs://team/no-slash"}, "SRC and DST should both end with path separator"},
             {{home_.file("a:b") + "/", "jfs://team/x/"}, "storage \"sftp\" is not supported"}}) {
        const EngineRun run = EngineProcess::run(QStringList{"sync"} + arguments, env_);
        EXPECT_EQ(run.exitCode, 1) << message.toStdString();
        EXPECT_TRUE(lastLine(run.err).contains("<FATAL>: ") && lastLine(run.err).contains(message))
            << run.err.toStdString();
    }
}

TEST_F(SyncTest, AMissingVolumeOrSourceFailsWithItsReasonLast) {
    env_.remove(QStringLiteral("team"));
    EngineRun run = EngineProcess::run(syncArgs(freePort()), env_);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(lastLine(run.err).contains("<FATAL>: no meta URL for volume \"team\""))
        << run.err.toStdString();

    env_.insert(QStringLiteral("team"), QStringLiteral("file://") + home_.file("no-such-volume"));
    run = EngineProcess::run(syncArgs(freePort()), env_);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(lastLine(run.err).contains("<FATAL>: volume \"team\" does not exist"))
        << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home_.file("no-such-volume")));

    env_.insert(QStringLiteral("team"), QStringLiteral("file://") + home_.file("volume"));
    run = EngineProcess::run({"sync", home_.file("Photos/cover.jpg"), "jfs://team/x"}, env_);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(lastLine(run.err).contains("is not a folder")) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home_.file("volume/x")));
}

TEST_F(SyncTest, UnreadableSourcesFailWithoutStoppingTheRest) {
    QDir().mkpath(home_.file("volume-open"));
    env_.insert(QStringLiteral("team"), QStringLiteral("file://") + home_.file("volume-open"));
    QDir().mkpath(home_.file("Photos/locked"));
    writeFile(home_.file("Photos/locked/inside.txt"), "hidden");
    writeFile(home_.file("Photos/secret.txt"), "secret");
    openHomeToEveryone();
    QFile::setPermissions(home_.file("Photos/locked"), {});
    QFile::setPermissions(home_.file("Photos/secret.txt"), {});

    EngineRun run = runUnprivileged({"sync", home_.file("Photos") + "/", "jfs://team/P/"});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(lastLine(run.err).contains("<FATAL>: Failed to handle 2 objects"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("listing " + home_.file("Photos/locked").toUtf8() + " failed"));
    EXPECT_EQ(readFile(home_.file("volume-open/P/2024/notes.txt")), "notes");
    EXPECT_FALSE(QFileInfo::exists(home_.file("volume-open/P/secret.txt")));

    QFile::setPermissions(home_.file("Photos"), {});
    run = runUnprivileged({"sync", home_.file("Photos") + "/", "jfs://team/Q/"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(lastLine(run.err).contains("<FATAL>: cannot read source " + home_.file("Photos") +
                                           "/: Permission denied"))
        << run.err.toStdString();
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(home_.file("Photos"), owner);
    QFile::setPermissions(home_.file("Photos/locked"), owner);
}

TEST_F(SyncTest, RefusesOutOfRangeValuesAndLivesWithATakenMetricsPort) {
    for (const char* value : {"1e-300", "-1", "1e400", "nan", "2e9", "fast"}) {
        const EngineRun run =
            EngineProcess::run(syncArgs(freePort()) << "--bwlimit" << value, env_, 10'000);
        EXPECT_TRUE(run.finished) << value;
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(
            lastLine(run.err).contains(QStringLiteral("<FATAL>: invalid --bwlimit ") + value))
            << run.err.toStdString();
    }
    for (const char* value : {"0", "100000", "x"}) {
        const EngineRun run = EngineProcess::run(
            {"sync", "-p", value, home_.file("Photos") + "/", "jfs://team/P/"}, env_, 10'000);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(
            lastLine(run.err).contains(QStringLiteral("<FATAL>: invalid --threads ") + value))
            << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(home_.file("volume/Photos")));

    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    const EngineRun run = EngineProcess::run(syncArgs(taken.serverPort()), env_);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("<ERROR>: listen on 127.0.0.1:")) << run.err.toStdString();
    EXPECT_EQ(readFile(home_.file("volume/Photos/2024/notes.txt")), "notes");
}
