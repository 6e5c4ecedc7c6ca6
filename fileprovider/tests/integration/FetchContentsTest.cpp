#include "fileprovider/tests/support/TransferFixture.h"

#include <QFileInfo>

namespace {

using namespace std::chrono_literals;
constexpr qint64 kMiB = 1024 * 1024;

class FetchContentsTest : public TransferFixture {};

TEST_F(FetchContentsTest, AWholeFileArrivesWithTheLocalFilesSizeAndDate) {
    const QByteArray content = bytes(3 * kMiB + 17);
    server.writeFile("Team", "Projects/plan.bin", content);
    const auto fetched = fetch("/Team/Projects/plan.bin");
    ASSERT_FALSE(fetched.error) << textOf(fetched.error).toStdString();
    EXPECT_EQ(fetched.completions, 1);
    ASSERT_TRUE(fetched.file && fetched.item);
    EXPECT_TRUE(read(*fetched.file) == content);
    EXPECT_EQ(fetched.item->itemIdentifier(), "/Team/Projects/plan.bin");
    EXPECT_EQ(fetched.item->documentSize(), content.size());
    EXPECT_EQ(fetched.item->contentModificationDate(), QFileInfo(*fetched.file).lastModified())
        << "the date is the downloaded file's, not the listing's";
    EXPECT_EQ(fetched.progress->completedUnitCount(), 100);
    EXPECT_TRUE(delays.empty());
    QFile::remove(*fetched.file);
}

TEST_F(FetchContentsTest, A403FromTheStoreIsRetriedAfterOneTwoAndFourSecondsThenUnreachable) {
    server.writeFile("Team", "x.txt", "hello");
    server.injectFault({.path = "/objects/*", .method = "GET", .status = 403, .count = 0});
    LogLines log;
    const auto fetched = fetch("/Team/x.txt");
    EXPECT_EQ(codeOf(fetched.error), FileProviderError::kServerUnreachable);
    EXPECT_FALSE(fetched.file);
    EXPECT_EQ(delays, (Delays{1s, 2s, 4s}));
    EXPECT_EQ(requestsNamed("GET", "/objects/").size(), 4);
    EXPECT_EQ(requestsNamed("POST", "/api/files/presign-download").size(), 4)
        << "every try takes a fresh address";
    EXPECT_TRUE(log.contains("fetchContents attempt 3 failed — retrying in 4s"));
    EXPECT_LT(fetched.progress->completedUnitCount(), 100);
}

TEST_F(FetchContentsTest, OneFailedTryIsRetriedAndAMissingEntryStillDownloads) {
    server.writeFile("Team", "x.txt", "hello");
    server.injectFault({.path = "/objects/*", .method = "GET", .cut = true, .count = 2});
    const auto fetched = fetch("/Team/x.txt");
    ASSERT_FALSE(fetched.error) << textOf(fetched.error).toStdString();
    EXPECT_EQ(read(*fetched.file), "hello");
    EXPECT_FALSE(delays.empty());
    QFile::remove(*fetched.file);

    // Not listed: the fetch goes on with an expected size of 0 and fails at the store.
    delays.clear();
    const auto missing = fetch("/Team/none.txt");
    EXPECT_TRUE(missing.error);
    EXPECT_EQ(delays.size(), 3u);
}

TEST_F(FetchContentsTest, AFailedListingIsPassedOnWithNothingInTheLedger) {
    server.injectFault({.path = "/api/files", .method = "GET", .status = 500, .body = "down"});
    const auto fetched = fetch("/Team/Welcome.txt");
    EXPECT_EQ(textOf(fetched.error), "HTTP 500: down");
    EXPECT_TRUE(delays.empty()) << "a listing failure is not retried";
    ledger.waitUntilWritten();
    EXPECT_FALSE(QFile::exists(home.file("ledger/sync-status.json")));
}

TEST_F(FetchContentsTest, TheLedgerShowsTheDownloadWhileItRuns) {
    server.writeFile("Team", "slow.bin", bytes(2 * kMiB));
    server.injectFault({.path = "/objects/*", .method = "GET", .delayMs = 1500});
    auto answer = std::make_shared<int>(0);
    const auto progress = extension->fetchContents(
        "/Team/slow.bin", {}, [answer](std::optional<QString> file, FileProviderItemPtr, auto) {
            ++*answer;
            if (file)
                QFile::remove(*file);
        });
    EXPECT_TRUE(waitUntil([&] {
        const auto status = SyncStatus::load(home.file("ledger/sync-status.json"));
        return status && status->count(SyncTransfer::Direction::download) == 1 &&
               status->transfers.first().path == "/Team/slow.bin" &&
               status->transfers.first().totalBytes == 2 * kMiB;
    }));
    EXPECT_TRUE(waitUntil([&] { return *answer == 1; }));
}

} // namespace
