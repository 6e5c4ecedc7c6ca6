#include "fileprovider/tests/support/TransferFixture.h"

#include <QFileInfo>

namespace {

using namespace std::chrono_literals;
constexpr qint64 kMiB = 1024 * 1024;

class PartialFetchTest : public TransferFixture {
protected:
    QByteArray put(const QString& relative, qint64 size) {
        const QByteArray content = bytes(size, int(size % 97));
        QFile f(server.filespaceDir("Team") + '/' + relative);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return content;
    }
    QStringList ranges() {
        QStringList found;
        for (const QJsonValue& v : requestsNamed("GET", "/objects/"))
            found.append(v.toObject().value("Range").toString());
        return found;
    }
    // The bytes of the fetched file in the range, which must hold the item's bytes there.
    static QByteArray slice(const QString& file, FileProviderRange range) {
        return read(file).mid(range.location, range.length);
    }
};

TEST_F(PartialFetchTest, AFirstSmallReadFetchesTheWholeSmallFileIntoAFullSizeFile) {
    const QByteArray content = put("small.bin", 3 * kMiB + 100);
    const auto fetched = fetchPartial("/Team/small.bin", {0, 4096});
    ASSERT_FALSE(fetched.error) << textOf(fetched.error).toStdString();
    EXPECT_EQ(fetched.range, (FileProviderRange{0, content.size()}));
    EXPECT_EQ(QFileInfo(*fetched.file).size(), content.size());
    EXPECT_TRUE(read(*fetched.file) == content);
    EXPECT_EQ(fetched.item->itemIdentifier(), "/Team/small.bin");
    EXPECT_EQ(fetched.progress->completedUnitCount(), 4096);
    EXPECT_EQ(ranges(), QStringList({"bytes=0-3145827"}));
    const auto state = extension->prefetcher().state("/Team/small.bin");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->streak, 1);
    QFile::remove(*fetched.file);
}

TEST_F(PartialFetchTest, AStreamCutAfterThreeMebibytesResumesFromTheFirstMissingByte) {
    const QByteArray content = put("cut.bin", 9 * kMiB);
    server.injectFault({.path = "/objects/*", .method = "GET", .cutAfterBytes = 3 * kMiB});
    LogLines log;
    const auto fetched = fetchPartial("/Team/cut.bin", {8192, 100});
    ASSERT_FALSE(fetched.error) << textOf(fetched.error).toStdString();
    EXPECT_EQ(fetched.range, (FileProviderRange{8192, 9 * kMiB - 8192}));
    // Two tries, each with an address of its own; Qt may send the cut request once more by
    // itself (and drop its answer), so only the first and the last request are ours for sure.
    const QString first = QStringLiteral("bytes=8192-%1").arg(9 * kMiB - 1);
    const QString resumed = QStringLiteral("bytes=%1-%2").arg(8192 + 3 * kMiB).arg(9 * kMiB - 1);
    const QStringList asked = ranges();
    ASSERT_GE(asked.size(), 2);
    EXPECT_EQ(asked.first(), first);
    EXPECT_EQ(asked.last(), resumed);
    EXPECT_EQ(asked.count(resumed), 1);
    EXPECT_EQ(asked.count(first), asked.size() - 1) << asked.join(", ").toStdString();
    EXPECT_EQ(requestsNamed("POST", "/api/files/presign-download").size(), 2);
    EXPECT_EQ(delays, (Delays{1s}));
    EXPECT_TRUE(slice(*fetched.file, fetched.range) == content.mid(8192));
    EXPECT_TRUE(log.contains(QStringLiteral("partial fetch attempt 1 failed at %1/%2")
                                 .arg(8192 + 3 * kMiB)
                                 .arg(9 * kMiB)));
    QFile::remove(*fetched.file);
}

TEST_F(PartialFetchTest, RangesFollowTheAlignmentAndAWholeAnswerOnlyCountsFromZero) {
    const QByteArray content = put("aligned.bin", 2 * kMiB);
    const auto aligned = fetchPartial("/Team/aligned.bin", {30000, 10}, 16384);
    ASSERT_FALSE(aligned.error);
    EXPECT_EQ(aligned.range.location, 16384);
    EXPECT_EQ(ranges().value(0), QStringLiteral("bytes=16384-%1").arg(2 * kMiB - 1));
    EXPECT_TRUE(slice(*aligned.file, aligned.range) == content.mid(16384));
    QFile::remove(*aligned.file);

    // A 200 for a range that does not start at 0 would put the object's first bytes at the
    // wrong offset: it is a failed try, and the next one asks again.
    server.clearRequests();
    server.injectFault({.path = "/objects/*",
                        .method = "GET",
                        .status = 200,
                        .body = content.left(4096),
                        .contentType = "application/octet-stream"});
    const auto refused = fetchPartial("/Team/aligned.bin", {9000, 10});
    ASSERT_FALSE(refused.error) << textOf(refused.error).toStdString();
    EXPECT_EQ(ranges().size(), 2);
    EXPECT_EQ(delays, (Delays{1s}));
    EXPECT_TRUE(slice(*refused.file, refused.range) == content.mid(8192));
    QFile::remove(*refused.file);

    // From 0 the whole answer is the range's start; the stream's end ends the fetch.
    const QByteArray head(5000, 'k');
    server.injectFault({.path = "/objects/*",
                        .method = "GET",
                        .status = 200,
                        .body = head,
                        .contentType = "application/octet-stream"});
    const auto whole = fetchPartial("/Team/aligned.bin", {0, 10});
    ASSERT_FALSE(whole.error);
    EXPECT_EQ(whole.range, (FileProviderRange{0, 5000}));
    EXPECT_TRUE(slice(*whole.file, whole.range) == head);
    QFile::remove(*whole.file);
}

TEST_F(PartialFetchTest, AMissingItemIsNoSuchItemAndPersistentFailuresEndAfterSixTries) {
    const auto missing = fetchPartial("/Team/none.bin", {0, 10});
    EXPECT_EQ(codeOf(missing.error), FileProviderError::kNoSuchItem);
    EXPECT_EQ(missing.range, (FileProviderRange{0, 0}));

    put("gone.bin", 100'000);
    server.injectFault({.path = "/objects/*", .method = "GET", .status = 503, .count = 0});
    const auto failed = fetchPartial("/Team/gone.bin", {0, 10});
    EXPECT_EQ(codeOf(failed.error), FileProviderError::kServerUnreachable)
        << textOf(failed.error).toStdString();
    EXPECT_EQ(delays, (Delays{1s, 2s, 4s, 8s, 16s}));
    EXPECT_EQ(ranges().size(), 6);
}

TEST_F(PartialFetchTest, ASequentialReaderReadsFurtherAheadEachTime) {
    // A sparse object: the store streams zeros for the holes.
    QFile sparse(server.filespaceDir("Team") + "/sparse.bin");
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(200 * kMiB));
    sparse.close();
    QList<qint64> lengths;
    qint64 next = 0;
    for (int i = 0; i < 2; ++i) {
        const auto fetched = fetchPartial("/Team/sparse.bin", {next, kMiB});
        ASSERT_FALSE(fetched.error);
        EXPECT_EQ(fetched.range.location, next);
        lengths.append(fetched.range.length);
        next = fetched.range.location + fetched.range.length;
        QFile::remove(*fetched.file);
    }
    EXPECT_EQ(lengths, (QList<qint64>{33 * kMiB, 65 * kMiB}))
        << "the reader goes on where the last fetch ended";
    const auto jump = fetchPartial("/Team/sparse.bin", {next + 20 * kMiB, kMiB});
    EXPECT_EQ(jump.range.length, 17 * kMiB) << "a jump starts over";
    QFile::remove(*jump.file);
}

} // namespace
