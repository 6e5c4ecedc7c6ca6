#include "fileprovider/SyncStatusStore.h"
#include "shared/SyncStatus.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

using Direction = SyncTransfer::Direction;

// A store writing into a temporary folder on a clock that moves one second per reading, so
// every write carries its own updatedAt.
class SyncStatusStoreTest : public ::testing::Test {
protected:
    QJsonObject file() {
        store.waitUntilWritten();
        QFile f(path());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    QString path() const { return dir.filePath("Kelvane/sync-status.json"); }

    QTemporaryDir dir;
    std::atomic<qint64> seconds{1'714'557'600};
    SyncStatusStore store{path(),
                          [this] { return QDateTime::fromSecsSinceEpoch(seconds++, Qt::UTC); }};
};

TEST_F(SyncStatusStoreTest, BeginWritesTheTransfer) {
    store.begin("A", "/docs/x.pdf", 1000, Direction::upload);
    const QJsonObject o = file();
    ASSERT_EQ(o.value("transfers").toArray().size(), 1);
    const QJsonObject t = o.value("transfers").toArray().at(0).toObject();
    EXPECT_EQ(t.value("id").toString(), "A");
    EXPECT_EQ(t.value("path").toString(), "/docs/x.pdf");
    EXPECT_EQ(t.value("bytesTransferred").toInteger(), 0);
    EXPECT_EQ(t.value("totalBytes").toInteger(), 1000);
    EXPECT_EQ(t.value("direction").toString(), "upload");
    EXPECT_EQ(o.value("activeEnumerations").toInteger(), 0);
    EXPECT_TRUE(SyncStatus::load(path())) << "the application's reader decodes it";
}

TEST_F(SyncStatusStoreTest, UpdateReplacesTheCountAndUnknownIdsWriteNothing) {
    store.begin("A", "/docs/x.pdf", 1000, Direction::upload);
    store.update("A", 500);
    store.update("A", 400);
    QJsonObject o = file();
    EXPECT_EQ(o.value("transfers").toArray().at(0).toObject().value("bytesTransferred").toInteger(),
              400);
    const QString written = o.value("updatedAt").toString();
    store.update("nobody", 7);
    EXPECT_EQ(file().value("updatedAt").toString(), written) << "no write for an unknown id";
}

TEST_F(SyncStatusStoreTest, FinishEmptiesTheListAndRewritesTheDate) {
    store.begin("A", "/docs/x.pdf", 1000, Direction::upload);
    const QString before = file().value("updatedAt").toString();
    store.finish("A");
    const QJsonObject o = file();
    EXPECT_TRUE(o.value("transfers").toArray().isEmpty());
    EXPECT_NE(o.value("updatedAt").toString(), before);
    store.finish("A"); // finishing twice is harmless and still writes
    EXPECT_TRUE(file().value("transfers").toArray().isEmpty());
}

TEST_F(SyncStatusStoreTest, EnumerationCounterNeverGoesBelowZero) {
    store.beginEnumeration();
    store.beginEnumeration();
    EXPECT_EQ(file().value("activeEnumerations").toInteger(), 2);
    store.endEnumeration();
    store.endEnumeration();
    store.endEnumeration();
    EXPECT_EQ(file().value("activeEnumerations").toInteger(), 0);
    store.beginEnumeration();
    EXPECT_EQ(file().value("activeEnumerations").toInteger(), 1);
}

TEST_F(SyncStatusStoreTest, ActiveTransfersUnderAFolder) {
    EXPECT_FALSE(store.hasActiveTransfersUnder("/"));
    store.begin("A", "/docs/sub/x.pdf", 1, Direction::download);
    EXPECT_TRUE(store.hasActiveTransfersUnder("/docs"));
    EXPECT_TRUE(store.hasActiveTransfersUnder("/docs/"));
    EXPECT_TRUE(store.hasActiveTransfersUnder("/docs/sub"));
    EXPECT_FALSE(store.hasActiveTransfersUnder("/doc"));
    EXPECT_FALSE(store.hasActiveTransfersUnder("/docs/sub/x.pdf")) << "the item itself";
    EXPECT_TRUE(store.hasActiveTransfersUnder("/"));
    EXPECT_TRUE(store.hasActiveTransfersUnder(""));
    store.finish("A");
    EXPECT_FALSE(store.hasActiveTransfersUnder("/docs"));
}

TEST_F(SyncStatusStoreTest, ManyThreadsAtOnceLeaveAConsistentLedger) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 10; ++i) {
                const QString id = QStringLiteral("%1-%2").arg(t).arg(i);
                store.begin(id, "/t/" + id, 100, Direction::upload);
                store.update(id, 50);
                if (i % 2 == 0)
                    store.finish(id);
                store.beginEnumeration();
                store.endEnumeration();
                store.hasActiveTransfersUnder("/t");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    const auto status = SyncStatus::load((store.waitUntilWritten(), path()));
    ASSERT_TRUE(status);
    EXPECT_EQ(status->transfers.size(), 4 * 5);
    EXPECT_EQ(status->activeEnumerations, 0);
}

TEST_F(SyncStatusStoreTest, AReaderNeverSeesAHalfWrittenLedger) {
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!done) {
            QFile f(path());
            if (!f.open(QIODevice::ReadOnly))
                continue;
            ++reads;
            try {
                SyncStatus::fromJson(f.readAll());
            } catch (const std::exception&) {
                ++bad;
            }
        }
    });
    for (int i = 0; i < 100; ++i)
        store.begin(QString::number(i), QString(200, 'p'), i, Direction::download);
    store.waitUntilWritten();
    done = true;
    reader.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(bad, 0);
}

TEST_F(SyncStatusStoreTest, AFailedWriteIsRetriedByTheNextChange) {
    QFile blocker(dir.filePath("Kelvane"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // the folder's place is taken by a file
    blocker.close();
    store.begin("A", "/a", 1, Direction::upload);
    store.waitUntilWritten();
    ASSERT_TRUE(blocker.remove());
    store.beginEnumeration();
    const QJsonObject o = file();
    EXPECT_EQ(o.value("transfers").toArray().size(), 1) << "state kept across the failure";
    EXPECT_EQ(o.value("activeEnumerations").toInteger(), 1);
}

TEST(SyncStatusStoreDefaults, WritesIntoTheExtensionFolder) {
    TestHome home;
    SyncStatusStore store;
    store.beginEnumeration();
    store.waitUntilWritten();
    EXPECT_TRUE(SyncStatus::ledgerFile().startsWith(home.path()));
    const auto status = SyncStatus::load(SyncStatus::ledgerFile());
    ASSERT_TRUE(status);
    EXPECT_EQ(status->activeEnumerations, 1);
}

} // namespace
