#include "app/import/BulkImporter.h"
#include "app/import/ImportAction.h"
#include "app/mount/MountManager.h"
#include "app/tests/support/HomeLeftovers.h"
#include "platform/UserDefaults.h"
#include "tests/support/FileTree.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Paces the engine's copy so a test can watch it; unset again when the test ends.
class SlowEngine {
public:
    explicit SlowEngine(const char* mbps) { qputenv("DEVENGINE_SYNC_BWLIMIT", mbps); }
    ~SlowEngine() { qunsetenv("DEVENGINE_SYNC_BWLIMIT"); }
};

// A metrics endpoint that is not the engine's: it answers garbage, never answers, or hangs up.
class FakeMetrics {
public:
    enum class Mode { garbage, silent, hangUp };
    explicit FakeMetrics(Mode mode) : mode_(mode) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++requests_;
                if (mode_ == Mode::hangUp)
                    socket->abort();
                else if (mode_ == Mode::garbage)
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 40\r\nConnection: close\r\n"
                                  "\r\njuicefs_sync_copied{a=\"b\"} 9\n\xff\xfe<html>garbage</>");
                // silent: the socket is kept open and never answered.
            }
        });
    }
    quint16 port() const { return server_.serverPort(); }
    int requests() const { return requests_; }

private:
    Mode mode_;
    QTcpServer server_;
    int requests_ = 0;
};

class BulkImporterTest : public testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(home.file("volume"));
        team = {"fs-team", "Team", "file://" + home.file("volume"), "team", "Team"};
    }
    void TearDown() override { HomeLeftovers::sweep(home.path()); }

    BulkImporter::Options fastPolls() {
        BulkImporter::Options options;
        options.pollInterval = 250ms;
        return options;
    }
    // Runs an import to its end and returns every state it went through.
    QList<ImportState> importToEnd(BulkImporter& importer, const QString& source,
                                   std::optional<Filespace> filespace = std::nullopt,
                                   QString engine = QStringLiteral(KELVANE_DEVENGINE_PATH)) {
        QList<ImportState> seen;
        QObject context;
        QObject::connect(&importer, &BulkImporter::stateChanged, &context,
                         [&] { seen << importer.state(); });
        importer.start(source, filespace.value_or(team), engine);
        EXPECT_TRUE(waitUntil([&] { return importer.state().isOver(); }, 120s));
        return seen;
    }
    QString sourceWithFiles(const QString& name, int count) {
        FileTree::writeOddTree(home.file(name).toStdString(), count);
        return home.file(name);
    }
    QStringList engineCommandLine() const {
        for (const pid_t pid : HomeLeftovers::processes(home.path())) {
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (cmdline.open(QIODevice::ReadOnly)) {
                QStringList args;
                for (const QByteArray& arg : cmdline.readAll().split('\0'))
                    args << QString::fromUtf8(arg);
                if (args.contains("sync"))
                    return args;
            }
        }
        return {};
    }
    pid_t enginePid() const {
        const auto pids = HomeLeftovers::processes(home.path());
        return pids.isEmpty() ? 0 : pids.first();
    }

    TestHome home;
    Filespace team;
    QNetworkAccessManager network;
};

} // namespace

TEST_F(BulkImporterTest, CopiesAFolderIntoTheFilespaceWhileShowingItsProgress) {
    const QString source = sourceWithFiles("Odd Photos #1", 300);
    FileTree::writeBytes(home.file("Odd Photos #1/big.bin").toStdString(),
                         std::string(3 << 20, 'b'));
    const FileTree::Tree before = FileTree::read(source.toStdString());
    SlowEngine slow("16"); // about two seconds for the big file
    BulkImporter importer(network, fastPolls());

    QStringList engineArgs;
    QByteArray engineEnvironment;
    QObject context;
    QObject::connect(&importer, &BulkImporter::stateChanged, &context, [&] {
        if (!engineArgs.isEmpty() || !importer.state().isRunning() || !enginePid())
            return;
        engineArgs = engineCommandLine();
        QFile environ(QStringLiteral("/proc/%1/environ").arg(enginePid()));
        if (environ.open(QIODevice::ReadOnly))
            engineEnvironment = environ.readAll();
    });
    const QList<ImportState> seen = importToEnd(importer, source);

    ASSERT_EQ(importer.state().kind(), ImportState::Kind::finished)
        << importer.state().message().toStdString();
    EXPECT_EQ(importer.state().copied(), 301);
    EXPECT_EQ(importer.state().failedCount(), 0);
    qint64 total = 0;
    for (const auto& [path, entry] : before)
        total += qint64(entry.content.size());
    // Exact when the last sample saw everything, else as exact as the engine's closing line.
    EXPECT_NEAR(double(importer.state().bytes()), double(total), total * 0.01);
    EXPECT_GT(importer.state().seconds(), 1.0);
    const auto progressed = std::find_if(seen.cbegin(), seen.cend(), [](const ImportState& s) {
        return s.isRunning() && s.progress().copiedBytes > 0 && s.progress().rate > 0 &&
               s.progress().scanned > 0;
    });
    EXPECT_NE(progressed, seen.cend()) << "no sample with progress was published";

    const FileTree::Tree copied = FileTree::read(home.file("volume/Odd Photos #1").toStdString());
    EXPECT_EQ(copied.size(), before.size());
    EXPECT_TRUE(FileTree::differences(before, copied).empty());
    const FileTree::Tree after = FileTree::read(source.toStdString());
    EXPECT_TRUE(FileTree::differences(before, after).empty());
    for (const auto& [path, entry] : before)
        EXPECT_EQ(after.at(path).mtime, entry.mtime) << "the source was touched: " << path;

    // The engine's command line and environment, as the engine saw them.
    ASSERT_FALSE(engineArgs.isEmpty());
    EXPECT_EQ(engineArgs.mid(1, 5), QStringList({"sync", "-p", "32", "--update", "--metrics"}));
    EXPECT_EQ(engineArgs.value(7), "file://" + home.file("Odd Photos %231") + "/");
    EXPECT_EQ(engineArgs.value(8), "jfs://team/Odd Photos %231/");
    EXPECT_FALSE(engineArgs.join(' ').contains(home.file("volume")));
    EXPECT_TRUE(engineEnvironment.contains("\0team=file://" + home.file("volume").toUtf8() + '\0'));

    // The log stays, readable by the user alone.
    EXPECT_TRUE(QFile(importer.logFile()).permissions() ==
                (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser));
    QFile log(importer.logFile());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Found: 301, skipped: 0, copied: 301"));

    // Again with --update: nothing new to copy.
    importToEnd(importer, source);
    ASSERT_EQ(importer.state().kind(), ImportState::Kind::finished);
    EXPECT_EQ(importer.state().copied(), 0);
    EXPECT_TRUE(FileTree::differences(before, FileTree::read(source.toStdString())).empty());
}

TEST_F(BulkImporterTest, EndsInFailedWithAClearTextForWhatCannotBeImported) {
    const QString file = home.file("notes.txt");
    FileTree::writeBytes(file.toStdString(), "notes");
    BulkImporter importer(network, fastPolls());
    const auto failure = [&](const QString& source, Filespace filespace, QString engine) {
        importToEnd(importer, source, filespace, engine);
        EXPECT_EQ(importer.state().kind(), ImportState::Kind::failed) << source.toStdString();
        return importer.state().message();
    };
    const QString engine = QStringLiteral(KELVANE_DEVENGINE_PATH);
    EXPECT_EQ(failure(file, team, engine),
              file + " is a file, not a folder. Choose a folder to import.");
    EXPECT_EQ(failure(home.file("missing"), team, engine),
              "There is no folder at " + home.file("missing") + ".");
    EXPECT_EQ(failure("/", team, engine),
              "The root folder can't be imported; choose a folder inside it.");
    Filespace badName = team;
    badName.volumeName = "PATH";
    EXPECT_TRUE(failure(home.path(), badName, engine)
                    .startsWith("Kelvane can't import into Team: its volume name \"PATH\""));
    Filespace noAddress = team;
    noAddress.metadataPublicURL.clear();
    EXPECT_TRUE(failure(home.path(), noAddress, engine).contains("gave no storage address"));
    EXPECT_EQ(failure(home.path(), team, home.file("no-engine/juicefs")),
              "execve: No such file or directory");
    if (::geteuid() != 0) {
        QDir().mkpath(home.file("locked"));
        QFile::setPermissions(home.file("locked"), {});
        EXPECT_EQ(failure(home.file("locked"), team, engine),
                  "Kelvane can't read " + home.file("locked") + ": Permission denied.");
        QFile::setPermissions(home.file("locked"), QFileDevice::ReadOwner |
                                                       QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner);
    }
    EXPECT_EQ(QDir(home.file("volume")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList())
        << "nothing reached the filespace";

    // A volume whose storage is missing: the engine's own reason, from the end of its log.
    Filespace gone = team;
    gone.metadataPublicURL = "file://" + home.file("no-such-volume");
    const QString message = failure(sourceWithFiles("Photos", 3), gone, engine);
    EXPECT_TRUE(message.startsWith("juicefs sync exited 1. ")) << message.toStdString();
    EXPECT_TRUE(message.contains("<FATAL>: volume \"team\" does not exist"))
        << message.toStdString();

    // An empty folder is a complete import of nothing.
    QDir().mkpath(home.file("Empty"));
    importToEnd(importer, home.file("Empty"));
    EXPECT_EQ(importer.state(), ImportState::finished(0, 0, 0, importer.state().seconds()));
}

TEST_F(BulkImporterTest, IgnoresASecondStartAndCancelsTheEngine) {
    const QString source = home.file("Big");
    FileTree::writeBytes((source + "/big.bin").toStdString(), std::string(4 << 20, 'x'));
    SlowEngine slow("1");
    BulkImporter importer(network, fastPolls());
    importer.cancel();
    EXPECT_EQ(importer.state(), ImportState::idle()) << "cancel when idle does nothing";

    importer.start(source, team, KELVANE_DEVENGINE_PATH);
    const quint64 id = importer.importId();
    ASSERT_TRUE(waitUntil([&] { return importer.state().progress().copiedBytes > 0; }, 30s));
    importer.start(home.file("Other"), team, KELVANE_DEVENGINE_PATH);
    EXPECT_EQ(importer.importId(), id) << "a second start while running is ignored";
    EXPECT_EQ(importer.source(), source);

    importer.cancel();
    EXPECT_EQ(importer.state(), ImportState::cancelled());
    EXPECT_TRUE(waitUntil([&] { return HomeLeftovers::processes(home.path()).isEmpty(); }, 10s))
        << "the engine outlived its cancel";
    // Whatever the engine's exit or a late sample says, the import stays cancelled.
    QCoreApplication::processEvents();
    EXPECT_EQ(importer.state(), ImportState::cancelled());
    EXPECT_LT(QFileInfo(home.file("volume/Big/big.bin")).size(), 4 << 20);
}

TEST_F(BulkImporterTest, AKilledEngineEndsInFailedWithItsSignal) {
    const QString source = home.file("Big");
    FileTree::writeBytes((source + "/big.bin").toStdString(), std::string(4 << 20, 'x'));
    SlowEngine slow("1");
    BulkImporter importer(network, fastPolls());
    importer.start(source, team, KELVANE_DEVENGINE_PATH);
    ASSERT_TRUE(waitUntil([&] { return importer.state().progress().copiedBytes > 0; }, 30s));
    ASSERT_GT(enginePid(), 0);
    ::kill(enginePid(), SIGKILL);
    ASSERT_TRUE(waitUntil([&] { return importer.state().isOver(); }, 10s));
    EXPECT_EQ(importer.state().kind(), ImportState::Kind::failed);
    EXPECT_TRUE(
        importer.state().message().startsWith("juicefs sync was stopped by signal 9 (Killed). "))
        << importer.state().message().toStdString();
    EXPECT_TRUE(importer.state().message().contains("Syncing from"));
}

TEST_F(BulkImporterTest, AMetricsEndpointThatMisbehavesCostsOnlyItsSamples) {
    for (const auto mode :
         {FakeMetrics::Mode::garbage, FakeMetrics::Mode::silent, FakeMetrics::Mode::hangUp}) {
        FakeMetrics metrics(mode);
        // The engine cannot serve on a port that is taken; it copies on without metrics.
        BulkImporter::Options options = fastPolls();
        options.metricsPort = [&metrics] { return metrics.port(); };
        SlowEngine slow("8");
        const QString source = home.file(QStringLiteral("Src%1").arg(int(mode)));
        FileTree::writeBytes((source + "/a.bin").toStdString(), std::string(4 << 20, 'a'));
        FileTree::writeBytes((source + "/b.txt").toStdString(), "b");
        BulkImporter importer(network, options);
        const QList<ImportState> seen = importToEnd(importer, source);
        EXPECT_GE(metrics.requests(), 2) << int(mode);
        const ImportProgress untouched{.eta = std::nullopt, .scanning = true};
        for (const ImportState& s : seen) {
            if (s.isRunning()) {
                EXPECT_EQ(s.progress(), untouched) << "a bad sample changed the progress";
            }
        }
        ASSERT_EQ(importer.state().kind(), ImportState::Kind::finished)
            << importer.state().message().toStdString();
        EXPECT_EQ(importer.state().copied(), 2) << "the final counts come from the engine's log";
        EXPECT_GE(importer.state().bytes(), 4 << 20);
    }
}

TEST_F(BulkImporterTest, TheImportCommandNeedsAFilespaceAndAnEngine) {
    UserDefaults defaults;
    MountOptions noEngine;
    noEngine.systemEngineLocations = {};
    MountManager bare(defaults, network, nullptr, EngineSource::pinned(), noEngine);
    BulkImporter importer(network, fastPolls());
    const QString source = sourceWithFiles("Photos", 2);
    auto refusal = ImportAction::start(importer, bare, source, std::nullopt);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->title, "No drive available");
    EXPECT_EQ(refusal->text, "Wait for Kelvane to finish mounting, then try again.");
    bare.setFilespaces({team});
    refusal = ImportAction::start(importer, bare, source, std::nullopt);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->title, "Drive engine missing");
    EXPECT_EQ(refusal->text, "Kelvane couldn't find its juicefs binary. Reinstall the app.");
    EXPECT_EQ(importer.state(), ImportState::idle());

    MountOptions devEngine;
    devEngine.systemEngineLocations = {QStringLiteral(KELVANE_DEVENGINE_PATH)};
    MountManager mounts(defaults, network, nullptr, EngineSource::pinned(), devEngine);
    Filespace other = team;
    other.id = "fs-other";
    other.name = "Other";
    other.mountName = "Other";
    other.volumeName = "other";
    mounts.setFilespaces({team, other});
    refusal = ImportAction::start(importer, mounts, source, QString("Nope"));
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, "There is no filespace named \"Nope\". Filespaces: Team, Other.");

    SlowEngine slow("1");
    FileTree::writeBytes((source + "/big.bin").toStdString(), std::string(2 << 20, 'x'));
    EXPECT_FALSE(ImportAction::start(importer, mounts, source, QString("Team")));
    EXPECT_EQ(importer.filespaceName(), "Team");
    refusal = ImportAction::start(importer, mounts, source, std::nullopt);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->title, ImportAction::kBusyTitle);
    EXPECT_EQ(refusal->text, source + " is being copied into Team; wait for it to finish or "
                                      "cancel it first.");
    const QJsonObject snapshot = ImportAction::snapshot(importer);
    EXPECT_EQ(snapshot.value("state").toString(), "running");
    EXPECT_EQ(snapshot.value("source").toString(), source);
    EXPECT_EQ(snapshot.value("id").toString(), QString::number(importer.importId()));
    importer.cancel();
}
