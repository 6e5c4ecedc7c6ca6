#include "app/activity/SyncStatusReader.h"
#include "app/tests/activity/ManualClock.h"
#include "platform/AtomicFile.h"
#include "shared/WaitForTask.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

constexpr qint64 kMiB = 1024 * 1024;

QString stats(qint64 uploading, qint64 staging, qint64 backlog, qint64 put, qint64 miss = 0,
              qint64 writing = 0) {
    return QStringLiteral("juicefs_object_request_uploading %1\n"
                          "juicefs_staging_blocks %2\n"
                          "juicefs_staging_writing_blocks %6\n"
                          "juicefs_staging_block_bytes %3\n"
                          "juicefs_object_request_data_bytes_PUT %4\n"
                          "juicefs_blockcache_miss_bytes %5\n"
                          "juicefs_fuse_ops 123\n")
        .arg(uploading)
        .arg(staging)
        .arg(backlog)
        .arg(put)
        .arg(miss)
        .arg(writing);
}

// Mount folders with .stats files under a temporary folder, a ledger file beside them and a
// reader on a manual clock that the test ticks by hand.
class SyncStatusReaderTest : public ::testing::Test {
protected:
    // Reads of healthy files finish well within the round's limit, also on a loaded machine.
    SyncStatusReaderTest()
        : reader(SyncStatusReader::Options{500ms, clock.function(), ledger(), 5s}) {
        QObject::connect(&reader, &SyncStatusReader::changed, [this] { ++changes; });
    }

    QString ledger() const { return dir.filePath("sync-status.json"); }
    QString mount(const QString& name) {
        QDir(dir.path()).mkpath(name);
        return dir.filePath(name);
    }
    void writeStats(const QString& name, const QString& text) {
        ASSERT_TRUE(AtomicFile::write(mount(name) + "/.stats", text.toUtf8()));
    }
    void writeLedger(const QByteArray& bytes) { ASSERT_TRUE(AtomicFile::write(ledger(), bytes)); }
    void tick() {
        WaitForTask::run(reader.tick());
        clock.advance(500ms);
    }

    QTemporaryDir dir;
    ManualClock clock;
    SyncStatusReader reader;
    int changes = 0;
};

TEST_F(SyncStatusReaderTest, StagingBlocksMakeTheDriveActive) {
    writeStats("Team", QStringLiteral("juicefs_staging_blocks 3\n"
                                      "juicefs_object_request_uploading 0\n"
                                      "juicefs_other 9\n"));
    reader.setJuicefsMountPaths({mount("Team")});
    tick();
    EXPECT_EQ(reader.juicefsStaging(), 3);
    EXPECT_EQ(reader.juicefsUploading(), 0);
    EXPECT_TRUE(reader.juicefsActive());
    EXPECT_TRUE(reader.isAnyActive());
    EXPECT_EQ(changes, 1);
}

TEST_F(SyncStatusReaderTest, CountsAddUpOverMountsAndUnreadableMountsAreSkipped) {
    writeStats("A", stats(1, 2, 0, 0));
    writeStats("B", stats(0, 5, 0, 0));
    reader.setJuicefsMountPaths({mount("A"), "", mount("B") + "/", dir.filePath("Missing")});
    EXPECT_EQ(reader.juicefsStatsPaths(),
              (QStringList{mount("A") + "/.stats", mount("B") + "/.stats",
                           dir.filePath("Missing") + "/.stats"}));
    tick();
    EXPECT_EQ(reader.juicefsStaging(), 7);
    EXPECT_EQ(reader.juicefsUploading(), 1);

    // Writing blocks alone count as activity too.
    writeStats("A", stats(0, 0, 0, 0, 0, 1));
    writeStats("B", stats(0, 0, 0, 0));
    tick();
    EXPECT_TRUE(reader.juicefsActive());
    writeStats("A", stats(0, 0, 0, 0));
    tick();
    EXPECT_FALSE(reader.juicefsActive());
}

TEST_F(SyncStatusReaderTest, BadStatsFilesNeverCrashAndCountZero) {
    writeStats("A", QStringLiteral("juicefs_staging_blocks nan\n"
                                   "juicefs_staging_blocks inf\n"
                                   "juicefs_object_request_uploading 1e999\n"
                                   "juicefs_staging_writing_blocks 99999999999999999999999\n"
                                   "juicefs_staging_block_bytes\n"
                                   "garbage garbage garbage\n"));
    QFile binary(mount("B") + "/.stats"); // not UTF-8: the mount is skipped
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write("juicefs_staging_blocks 8\n\xff\xfe\n");
    binary.close();
    reader.setJuicefsMountPaths({mount("A"), mount("B")});
    tick();
    EXPECT_EQ(reader.juicefsStaging(), 0);
    EXPECT_EQ(reader.juicefsUploading(), 0);
    EXPECT_FALSE(reader.juicefsActive());
}

TEST_F(SyncStatusReaderTest, DownloadFlagHoldsFourTicksAfterMissBytesGrow) {
    writeStats("A", stats(0, 0, 0, 0, 1000));
    reader.setJuicefsMountPaths({mount("A")});
    tick();
    EXPECT_FALSE(reader.juicefsDownloading()) << "the first tick has nothing to compare with";
    writeStats("A", stats(0, 0, 0, 0, 2000));
    for (int i = 0; i < 4; ++i) {
        tick();
        EXPECT_TRUE(reader.juicefsDownloading()) << "tick " << i;
        EXPECT_TRUE(reader.juicefsActive());
    }
    tick();
    EXPECT_FALSE(reader.juicefsDownloading());
    EXPECT_FALSE(reader.juicefsActive());
}

TEST_F(SyncStatusReaderTest, ReaddedMountStartsWithoutPreviousMissBytes) {
    writeStats("A", stats(0, 0, 0, 0, 1000));
    reader.setJuicefsMountPaths({mount("A")});
    tick();
    reader.setJuicefsMountPaths({});
    reader.setJuicefsMountPaths({mount("A")});
    writeStats("A", stats(0, 0, 0, 0, 5000));
    tick();
    EXPECT_FALSE(reader.juicefsDownloading());
}

TEST_F(SyncStatusReaderTest, EmptyMountListClearsJuicefsStateAtOnce) {
    writeStats("A", stats(2, 3, 0, 0, 10));
    reader.setJuicefsMountPaths({mount("A")});
    tick();
    writeStats("A", stats(2, 3, 0, 0, 20));
    tick();
    ASSERT_TRUE(reader.juicefsDownloading());
    const int before = changes;
    reader.setJuicefsMountPaths({"", ""});
    EXPECT_TRUE(reader.juicefsStatsPaths().isEmpty());
    EXPECT_FALSE(reader.juicefsActive());
    EXPECT_FALSE(reader.juicefsDownloading());
    EXPECT_EQ(reader.juicefsUploading(), 0);
    EXPECT_EQ(reader.juicefsStaging(), 0);
    EXPECT_EQ(changes, before + 1);
    tick(); // nothing to read: stays idle
    EXPECT_FALSE(reader.juicefsActive());
}

TEST_F(SyncStatusReaderTest, UploadBurstRunsFromBacklogToSixthIdleTick) {
    reader.setJuicefsMountPaths({mount("A")});
    qint64 put = 0;
    for (int i = 0; i < 8; ++i) { // 3.5 s at 2 MiB/s with 10 MiB waiting
        writeStats("A", stats(1, 10, 10 * kMiB, put));
        tick();
        put += kMiB;
    }
    EXPECT_EQ(reader.uploadBacklogBytes(), 10 * kMiB);
    EXPECT_EQ(reader.uploadedThisBurst(), 7 * kMiB);
    ASSERT_TRUE(reader.uploadETA());
    EXPECT_NEAR(*reader.uploadETA(), 5.0, 0.01);
    EXPECT_NEAR(reader.uploadFraction(), 7.0 / 17.0, 1e-9);

    writeStats("A", stats(0, 0, 0, put));
    for (int i = 0; i < 5; ++i) {
        tick();
        EXPECT_EQ(reader.uploadedThisBurst(), 8 * kMiB) << "idle tick " << i + 1;
    }
    tick();
    EXPECT_EQ(reader.uploadedThisBurst(), 0);
    EXPECT_EQ(reader.uploadBacklogBytes(), 0);
    EXPECT_EQ(reader.uploadRate(), 0.0);
    EXPECT_FALSE(reader.isAnyActive());
}

TEST_F(SyncStatusReaderTest, BurstEndsAtOnceWhenNoStatsFileCanBeRead) {
    writeStats("A", stats(1, 4, 3 * kMiB, 0));
    reader.setJuicefsMountPaths({mount("A")});
    tick();
    ASSERT_TRUE(reader.juicefsActive());
    ASSERT_EQ(reader.uploadBacklogBytes(), 3 * kMiB);
    ASSERT_TRUE(QFile::remove(mount("A") + "/.stats"));
    tick();
    EXPECT_FALSE(reader.juicefsActive());
    EXPECT_EQ(reader.juicefsStaging(), 0);
    EXPECT_EQ(reader.uploadBacklogBytes(), 0);
}

TEST_F(SyncStatusReaderTest, LedgerIsPublishedAndBadLedgersReadAsIdle) {
    const QByteArray active = R"({"transfers":[
        {"id":"1","path":"/a","bytesTransferred":0,"totalBytes":9,"direction":"upload",
         "startedAt":"2024-05-01T10:00:00Z"},
        {"id":"2","path":"/b","bytesTransferred":1,"totalBytes":9,"direction":"download",
         "startedAt":"2024-05-01T10:00:00Z"},
        {"id":"3","path":"/c","bytesTransferred":2,"totalBytes":9,"direction":"upload",
         "startedAt":"2024-05-01T10:00:00Z"}],
        "updatedAt":"2024-05-01T10:00:01Z","activeEnumerations":0})";
    const QByteArray bad[] = {
        "",                                                      // empty
        R"({"transfers":[],"updatedAt":"2024-05-01T10:00:01Z")", // cut short
        "not json at all",
        R"({"transfers":[],"updatedAt":"2024-05-01T10:00:01Z"})", // no activeEnumerations
        R"([1,2,3])",
    };
    tick();
    EXPECT_EQ(reader.status(), SyncStatus::empty()) << "a missing ledger is idle";
    for (const QByteArray& bytes : bad) {
        writeLedger(active);
        tick();
        ASSERT_EQ(reader.uploadCount(), 2);
        ASSERT_EQ(reader.downloadCount(), 1);
        ASSERT_TRUE(reader.isAnyActive());
        writeLedger(bytes);
        tick();
        EXPECT_EQ(reader.status(), SyncStatus::empty()) << bytes.toStdString();
        EXPECT_FALSE(reader.isAnyActive());
    }
    writeLedger(R"({"transfers":[],"updatedAt":"2024-05-01T10:00:01Z","activeEnumerations":2})");
    tick();
    EXPECT_TRUE(reader.isAnyActive()) << "running enumerations count as activity";
    ASSERT_TRUE(QFile::remove(ledger()));
    tick();
    EXPECT_FALSE(reader.isAnyActive());
}

TEST_F(SyncStatusReaderTest, ChangedFiresOnlyWhenSomethingChanged) {
    writeStats("A", stats(0, 2, 0, 0));
    reader.setJuicefsMountPaths({mount("A")});
    tick();
    EXPECT_EQ(changes, 1);
    tick();
    tick();
    EXPECT_EQ(changes, 1);
    writeStats("A", stats(0, 3, 0, 0));
    tick();
    EXPECT_EQ(changes, 2);
}

TEST(SyncStatusReaderDefaults, ReadsTheLedgerInTheExtensionFolder) {
    TestHome home;
    SyncStatusReader reader;
    SyncStatus status = SyncStatus::empty();
    status.activeEnumerations = 1;
    ASSERT_TRUE(AtomicFile::write(SyncStatus::ledgerFile(), status.toJson()));
    EXPECT_TRUE(SyncStatus::ledgerFile().startsWith(home.path()));
    WaitForTask::run(reader.tick());
    EXPECT_EQ(reader.status().activeEnumerations, 1);
}

TEST(SyncStatusReaderTimer, StartSamplesAtOnceAndThenRepeatedly) {
    QTemporaryDir dir;
    SyncStatusReader reader(SyncStatusReader::Options{20ms, {}, dir.filePath("ledger.json")});
    int ticks = 0;
    QObject::connect(&reader, &SyncStatusReader::tickFinished, [&ticks] { ++ticks; });
    reader.start();
    EXPECT_TRUE(waitUntil([&] { return ticks >= 3; }));
    reader.stop();
}

// A FIFO stands in for a .stats file whose FUSE daemon does not answer: opening it blocks
// until a writer comes.
class SyncStatusReaderHungMount : public SyncStatusReaderTest {
protected:
    void SetUp() override {
        fifo = mount("Hung") + "/.stats";
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    }
    // Lets the blocked read finish by writing the stats through the FIFO.
    void answer(const QByteArray& text) {
        QFile writer(fifo);
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
        writer.write(text);
    }
    QString fifo;
};

TEST_F(SyncStatusReaderHungMount, AHungDriveIsSkippedWhileTheOthersGoOnBeingRead) {
    writeStats("Good", "juicefs_staging_blocks 2\n");
    SyncStatusReader reader(SyncStatusReader::Options{500ms, clock.function(), ledger(), 200ms});
    reader.setJuicefsMountPaths({mount("Hung"), mount("Good")});
    QStringList unreachable;
    QObject::connect(&reader, &SyncStatusReader::mountUnreachable,
                     [&](const QString& m) { unreachable.append(m); });
    // Every round ends within its limit although one source never answers.
    for (int round = 0; round < 3; ++round) {
        WaitForTask::run(reader.tick());
        EXPECT_FALSE(reader.isTickRunning());
        EXPECT_EQ(reader.juicefsStaging(), 2) << "round " << round;
    }
    // Only the first read of the hung source ever started.
    EXPECT_EQ(reader.blockedSources(), 1);
    EXPECT_TRUE(unreachable.contains(mount("Hung")));
    EXPECT_FALSE(unreachable.contains(mount("Good")));

    answer("juicefs_staging_blocks 6\n");
    ASSERT_TRUE(waitUntil([&] { return reader.blockedSources() == 0; }));
    // The stuck read's answer came after its round closed; the next round reads it afresh.
    ASSERT_EQ(::unlink(QFile::encodeName(fifo).constData()), 0);
    writeStats("Hung", "juicefs_staging_blocks 6\n");
    WaitForTask::run(reader.tick());
    EXPECT_EQ(reader.juicefsStaging(), 8);
}

TEST_F(SyncStatusReaderHungMount, MountsChangedDuringARoundDropItsStats) {
    SyncStatusReader reader(SyncStatusReader::Options{500ms, clock.function(), ledger(), 200ms});
    reader.setJuicefsMountPaths({mount("Hung")});
    QCoro::Task<> first = reader.tick();
    reader.setJuicefsMountPaths({});
    answer("juicefs_staging_blocks 6\n");
    WaitForTask::run(std::move(first));
    EXPECT_EQ(reader.juicefsStaging(), 0);
    EXPECT_FALSE(reader.juicefsActive());
}

TEST_F(SyncStatusReaderHungMount, ReaderDestroyedDuringARoundIsLeftAlone) {
    auto doomed = std::make_unique<SyncStatusReader>(
        SyncStatusReader::Options{500ms, clock.function(), ledger()});
    doomed->setJuicefsMountPaths({mount("Hung")});
    QCoro::Task<> round = doomed->tick();
    doomed.reset();
    answer("juicefs_staging_blocks 6\n");
    // Resumes after the reader is gone; touching it would show under valgrind or a sanitizer.
    WaitForTask::run(std::move(round));
}

} // namespace
