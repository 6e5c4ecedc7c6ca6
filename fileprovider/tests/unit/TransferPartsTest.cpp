#include "fileprovider/ContentFetch.h"
#include "fileprovider/FileSlice.h"
#include "fileprovider/MPError.h"
#include "fileprovider/PrefetchTracker.h"
#include "fileprovider/ShareLinks.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

TEST(PrefetchTracker, SequentialReadsReadFurtherAheadAndJumpsOrAgeStartOver) {
    QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    PrefetchTracker tracker([&] { return now; });
    QList<qint64> aheads;
    for (qint64 i = 0; i < 4; ++i)
        aheads.append(tracker.recordAndAdvise("/a", i * 4096, (i + 1) * 4096));
    EXPECT_EQ(aheads, (QList<qint64>{32 * kMiB, 64 * kMiB, 128 * kMiB, 128 * kMiB}));
    EXPECT_EQ(tracker.recordAndAdvise("/a", 16384 + 4 * kMiB, 16384 + 4 * kMiB + 1), 16 * kMiB)
        << "a jump of 4 MiB starts over";
    EXPECT_EQ(tracker.recordAndAdvise("/b", 100 * kMiB, 100 * kMiB + 4096), 16 * kMiB);
    for (int i = 0; i < 12; ++i)
        tracker.recordAndAdvise("/c", i, i + 1);
    EXPECT_EQ(tracker.state("/c")->streak, 8) << "the streak is capped";

    // Where the read-ahead ended counts as sequential too: the reader goes on from there.
    tracker.recordAndAdvise("/d", 0, 4096);
    tracker.recordFetched("/d", 32 * kMiB + 4096);
    EXPECT_EQ(tracker.recordAndAdvise("/d", 32 * kMiB + 4096, 33 * kMiB), 64 * kMiB);

    now = now.addSecs(301);
    tracker.recordAndAdvise("/e", 0, 1);
    EXPECT_EQ(tracker.trackedItems(), 1) << "items untouched for 300 s are dropped";
    EXPECT_EQ(tracker.recordAndAdvise("/a", 20000, 20001), 32 * kMiB)
        << "a forgotten item starts from streak 1 near the start";
}

TEST(ContentFetchPlan, RangesAreBlockAlignedAndClampedToTheFile) {
    using ContentFetch::plannedRange;
    EXPECT_EQ(plannedRange(0, 4096, 32 * kMiB, 1, 10 * kMiB), (FileProviderRange{0, 10 * kMiB}));
    EXPECT_EQ(plannedRange(100 * kMiB, 4096, 16 * kMiB, 1, 1024 * kMiB),
              (FileProviderRange{104'857'600, 121'638'912 - 104'857'600}));
    const auto aligned = plannedRange(30000, 100, 16 * kMiB, 16384, 1024 * kMiB);
    EXPECT_EQ(aligned.location % 16384, 0);
    EXPECT_EQ((aligned.location + aligned.length) % 16384, 0);
    EXPECT_EQ(plannedRange(5000, 10, 0, 1, 4100), (FileProviderRange{4096, 4}))
        << "at the end the range stops at the file's size";
    EXPECT_EQ(plannedRange(9000, 10, 0, 1, 8192), (FileProviderRange{8192, 0}))
        << "past the end nothing is left to fetch";
}

TEST(ShareLinks, TheApiSuffixGoesAndEachPieceIsEncoded) {
    EXPECT_EQ(ShareLinks::siteBase("https://k.example/api"), "https://k.example");
    EXPECT_EQ(ShareLinks::siteBase("https://k.example/api/"), "https://k.example/api");
    EXPECT_EQ(ShareLinks::siteBase("https://k.example/"), "https://k.example");
    EXPECT_EQ(
        ShareLinks::links("https://k.example/api",
                          {"/Reports/Q1 final.pdf", "/Clips", "/", "/a/50%#?.txt"}),
        QStringList({"https://k.example/open/Reports/Q1%20final.pdf",
                     "https://k.example/open/Clips", "https://k.example/open/a/50%25%23%3F.txt"}));
    EXPECT_TRUE(
        ShareLinks::links("https://k.example", {"NSFileProviderRootContainerItemIdentifier"})
            .isEmpty());
}

TEST(MPError, TextsNameThePartAndTheCause) {
    EXPECT_EQ(MPError::initFailed("x").description(), "multipart init: x");
    EXPECT_EQ(MPError::partFailed(3, "HTTP 403").description(), "part 3: HTTP 403");
    EXPECT_EQ(MPError::completeFailed("y").description(), "multipart complete: y");
    EXPECT_EQ(MPError::readFailed("part 3 short read 1024/10485760").description(),
              "file read: part 3 short read 1024/10485760");
}

TEST(FileSlice, SlicesOfOneHandleReadTheirOwnBytesAndTellAShortFile) {
    QTemporaryDir dir;
    auto file = std::make_shared<QFile>(dir.filePath("f"));
    ASSERT_TRUE(file->open(QIODevice::ReadWrite));
    QByteArray content;
    for (int i = 0; i < 1000; ++i)
        content.append(char(i % 251));
    file->write(content);
    auto lock = std::make_shared<std::mutex>();
    FileSlice first(file, lock, 0, 400);
    FileSlice second(file, lock, 400, 600);
    FileSlice beyond(file, lock, 900, 400);
    for (FileSlice* s : {&first, &second, &beyond})
        ASSERT_TRUE(s->open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QByteArray a, b;
    while (!first.atEnd() || !second.atEnd()) { // interleaved, as parallel parts read
        a += first.read(64);
        b += second.read(100);
    }
    EXPECT_TRUE(a == content.left(400));
    EXPECT_TRUE(b == content.mid(400));
    ASSERT_TRUE(second.seek(0)) << "a retried upload reads from the start again";
    EXPECT_TRUE(second.read(10) == content.mid(400, 10));
    EXPECT_EQ(beyond.size(), 400);
    EXPECT_TRUE(beyond.read(400) == content.mid(900));
    EXPECT_EQ(beyond.shortRead(), 100);
    EXPECT_FALSE(first.shortRead());
}

} // namespace
