#include "fileprovider/FileProviderEnumerator.h"
#include "fileprovider/FileProviderItem.h"
#include "fileprovider/ListingCache.h"
#include "fileprovider/tests/support/Enumerations.h"
#include "fileprovider/tests/support/ExtensionFixture.h"
#include "fileprovider/tests/support/LogLines.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "shared/InvalidationToken.h"
#include "shared/SyncStatus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <chrono>
#include <filesystem>

namespace {

namespace Id = FileProviderItemIdentifier;
using Enumerations::identifiers;

const QDateTime kSecond = QDateTime::fromSecsSinceEpoch(1'714'558'830, Qt::UTC);

class EnumeratorTest : public ExtensionFixture {
protected:
    std::unique_ptr<FileProviderEnumerator> enumerator(const QString& path) {
        return std::make_unique<FileProviderEnumerator>(path, api, ledger);
    }
    QString onDisk(const QString& relative) { return server.filespaceDir("Team") + '/' + relative; }
    // Files and folders alike.
    void setTime(const QString& relative, const QDateTime& time) {
        const auto since = std::chrono::milliseconds(time.toMSecsSinceEpoch());
        const auto fileTime = std::chrono::file_clock::from_sys(
            std::chrono::sys_time<std::chrono::milliseconds>(since));
        std::error_code ec;
        std::filesystem::last_write_time(onDisk(relative).toStdString(), fileTime, ec);
        ASSERT_FALSE(ec) << ec.message();
    }
    // A new token, so the next change enumeration lists again.
    void bump() { InvalidationToken::write(++clock_); }
    FileProviderSyncAnchor anchor() {
        return FileProviderEnumerator::anchorFor(FileProviderEnumerator::currentToken());
    }
    QByteArray teamListingWithout(const QStringList& names) {
        QJsonArray entries;
        for (const Entry& e : run(api.list("/Team"))) {
            if (names.contains(e.name))
                continue;
            entries.append(QJsonObject{{"name", e.name},
                                       {"type", e.type},
                                       {"size", e.size},
                                       {"modified_at", e.modifiedAt.toString(Qt::ISODateWithMs)}});
        }
        return QJsonDocument(QJsonObject{{"path", "/Team"}, {"entries", entries}}).toJson();
    }
    std::optional<SyncStatus> ledgerFile() {
        ledger.waitUntilWritten();
        return SyncStatus::load(home.file("ledger/sync-status.json"));
    }

    qint64 clock_ = 1'700'000'000'000;
};

TEST_F(EnumeratorTest, TheRootIsListedWholeAndCachedUnderItsOwnName) {
    LogLines log;
    server.clearRequests();
    const auto root = FileProviderItem::path(Id::kRootContainer);
    const auto listed = Enumerations::items(*enumerator(root));
    EXPECT_FALSE(listed->error());
    EXPECT_FALSE(listed->nextPage());
    EXPECT_EQ(identifiers(listed->items()), QStringList({"/Team", "/Marketing"}));
    EXPECT_EQ(server.requests().at(0).toObject().value("target").toString(), "/api/files?path=%2F");
    EXPECT_TRUE(QFileInfo(ListingCache::dir() + "/listing-_.json").isFile());
    EXPECT_TRUE(log.contains("enumerateItems /: 2 items, token=initial"));
    EXPECT_EQ(ledgerFile()->activeEnumerations, 0);
}

TEST_F(EnumeratorTest, JunkNamesAreNeitherEnumeratedNorCached) {
    for (const QString& name :
         QStringList{".DS_Store", "._photo.jpg", ".Spotlight-V100", "report.pdf"})
        server.writeFile("Team", "Photos/" + name, "x");
    const auto listed = Enumerations::items(*enumerator("/Team/Photos"));
    EXPECT_EQ(identifiers(listed->items()), QStringList({"/Team/Photos/report.pdf"}));
    const auto cached = ListingCache::load("/Team/Photos");
    ASSERT_TRUE(cached);
    ASSERT_EQ(cached->entries.size(), 1);
    EXPECT_EQ(cached->entries[0].name, "report.pdf");
}

TEST_F(EnumeratorTest, TheAnchorIsTheTrimmedTokenAndAnUnchangedTokenCostsNothing) {
    auto e = enumerator("/Team");
    FileProviderSyncAnchor current;
    e->currentSyncAnchor([&](FileProviderSyncAnchor a) { current = std::move(a); });
    EXPECT_EQ(current, "initial");
    AtomicFile::write(InvalidationToken::file(), "  abc \n");
    e->currentSyncAnchor([&](FileProviderSyncAnchor a) { current = std::move(a); });
    EXPECT_EQ(current, "abc");

    server.clearRequests();
    const auto unchanged = Enumerations::changes(*e, "abc");
    EXPECT_EQ(unchanged->anchor(), "abc");
    EXPECT_FALSE(unchanged->moreComing());
    EXPECT_TRUE(unchanged->updated().isEmpty() && unchanged->deleted().isEmpty());
    EXPECT_EQ(server.requests().size(), 0);
    EXPECT_FALSE(ledgerFile()) << "not even the ledger is touched";
}

TEST_F(EnumeratorTest, WithoutACacheEveryChildIsUpdatedAndTheNewAnchorIsTheListingsToken) {
    bump();
    const auto first = Enumerations::changes(*enumerator("/Team"), "old");
    EXPECT_EQ(identifiers(first->updated()), QStringList({"/Team/Projects", "/Team/Welcome.txt"}));
    EXPECT_TRUE(first->deleted().isEmpty());
    EXPECT_EQ(first->anchor(), anchor());

    server.clearRequests();
    const auto again = Enumerations::changes(*enumerator("/Team"), first->anchor());
    EXPECT_TRUE(again->updated().isEmpty());
    EXPECT_EQ(server.requests().size(), 0) << "one listing per folder and token";
}

TEST_F(EnumeratorTest, AddedChangedAndDeletedChildrenAreReported) {
    Enumerations::items(*enumerator("/Team"));
    server.writeFile("Team", "New.txt", "new");
    server.writeFile("Team", "Welcome.txt", "a longer welcome text than before");
    QDir(onDisk("Projects")).removeRecursively();
    bump();
    const auto changed = Enumerations::changes(*enumerator("/Team"), "any");
    EXPECT_EQ(changed->deleted(), QStringList({"/Team/Projects"}));
    EXPECT_EQ(identifiers(changed->updated()), QStringList({"/Team/New.txt", "/Team/Welcome.txt"}));
}

TEST_F(EnumeratorTest, AModificationTimeMustMoveMoreThanOneSecond) {
    server.writeFile("Team", "a.txt", "a");
    server.writeFile("Team", "b.txt", "b");
    setTime("a.txt", kSecond);
    setTime("b.txt", kSecond);
    Enumerations::items(*enumerator("/Team"));
    setTime("a.txt", kSecond.addSecs(1));
    setTime("b.txt", kSecond.addMSecs(1500));
    bump();
    const auto changed = Enumerations::changes(*enumerator("/Team"), "any");
    EXPECT_EQ(identifiers(changed->updated()), QStringList({"/Team/b.txt"}));
}

TEST_F(EnumeratorTest, AChildThatTurnsFromFolderToFileIsUpdated) {
    QDir().mkpath(onDisk("x"));
    setTime("x", kSecond);
    Enumerations::items(*enumerator("/Team"));
    QDir(onDisk("x")).removeRecursively();
    QFile(onDisk("x")).open(QIODevice::WriteOnly); // an empty file: size 0 as the folder's
    setTime("x", kSecond);
    bump();
    const auto changed = Enumerations::changes(*enumerator("/Team"), "any");
    ASSERT_EQ(identifiers(changed->updated()), QStringList({"/Team/x"}));
    EXPECT_EQ(changed->updated()[0]->contentType(), FileProviderContentType::kData);
}

TEST_F(EnumeratorTest, DeletionsAreHeldBackWhileATransferRunsBelowTheFolder) {
    LogLines log;
    Enumerations::items(*enumerator("/Team"));
    QFile::remove(onDisk("Welcome.txt"));
    ledger.begin("t1", "/Team/Projects/upload.bin", 10, SyncTransfer::Direction::upload);
    bump();
    const auto held = Enumerations::changes(*enumerator("/Team"), "any");
    EXPECT_TRUE(held->deleted().isEmpty());
    EXPECT_TRUE(log.contains("enumerateChanges: 1 candidate-deletions in /Team suppressed — "
                             "active transfers under this path"));

    ledger.finish("t1");
    ledger.begin("t2", "/Marketing/x", 10, SyncTransfer::Direction::download);
    QFile::remove(onDisk("Projects/Plan.md"));
    bump();
    const auto elsewhere = Enumerations::changes(*enumerator("/Team/Projects"), "any");
    EXPECT_TRUE(elsewhere->deleted().isEmpty()) << "no cache yet for this folder";
}

TEST_F(EnumeratorTest, ACandidateThatReappearsOnTheSecondListingIsNotDeleted) {
    LogLines log;
    Enumerations::items(*enumerator("/Team"));
    answerNextListingWith(teamListingWithout({"Welcome.txt"}));
    bump();
    server.clearRequests();
    const auto changed = Enumerations::changes(*enumerator("/Team"), "any");
    EXPECT_TRUE(changed->deleted().isEmpty());
    EXPECT_EQ(requestsTo("/api/files"), 2) << "the second listing confirms";
    EXPECT_TRUE(log.contains("enumerateChanges: 1 candidate-deletions in /Team reappeared on "
                             "second fetch — suppressed"));
}

TEST_F(EnumeratorTest, AFailedSecondListingConfirmsEveryCandidate) {
    LogLines log;
    Enumerations::items(*enumerator("/Team"));
    answerNextListingWith(teamListingWithout({"Welcome.txt", "Projects"}));
    answerNextListingWith("down", 503);
    bump();
    const auto changed = Enumerations::changes(*enumerator("/Team"), "any");
    QStringList deleted = changed->deleted();
    deleted.sort();
    EXPECT_EQ(deleted, QStringList({"/Team/Projects", "/Team/Welcome.txt"}));
    EXPECT_TRUE(log.contains("enumerateChanges: deleted 2 items in /Team"));
}

TEST_F(EnumeratorTest, TheFrameworksOwnContainersAreNeverServed) {
    server.clearRequests();
    for (const QString& container :
         {Id::kWorkingSet, Id::kTrashContainer, QStringLiteral("NSFileProviderAnything"),
          QStringLiteral("/x/WorkingSet"), QStringLiteral("/TrashContainer")}) {
        auto e = enumerator(container);
        EXPECT_TRUE(e->isSkipped());
        const auto listed = Enumerations::items(*e);
        EXPECT_TRUE(listed->items().isEmpty());
        EXPECT_FALSE(listed->error());
        bump();
        EXPECT_EQ(Enumerations::changes(*e, "given")->anchor(), "given");
    }
    EXPECT_EQ(server.requests().size(), 0);
    EXPECT_FALSE(ledgerFile());
}

TEST_F(EnumeratorTest, AFailedListingEndsTheEnumerationAndLeavesTheCache) {
    LogLines log;
    Enumerations::items(*enumerator("/Team"));
    const auto before = ListingCache::load("/Team");
    answerNextListingWith("overloaded", 500);
    const auto failed = Enumerations::items(*enumerator("/Team"));
    EXPECT_EQ(textOf(failed->error()), "HTTP 500: overloaded");
    EXPECT_EQ(failed->finishCount(), 1);
    EXPECT_TRUE(log.contains("enumerateItems failed: HTTP 500: overloaded"));

    answerNextListingWith("[1]");
    bump();
    const auto changeFailed = Enumerations::changes(*enumerator("/Team"), "any");
    EXPECT_TRUE(apiErrorOf(changeFailed->error()));
    EXPECT_TRUE(log.contains("enumerateChanges failed: Decode error:"));
    EXPECT_EQ(ListingCache::load("/Team")->entries, before->entries);
    EXPECT_EQ(ledgerFile()->activeEnumerations, 0);

    writeConfig(server.apiURL(), std::nullopt);
    EXPECT_EQ(textOf(Enumerations::items(*enumerator("/Team"))->error()),
              "API URL or auth token missing");
}

TEST_F(EnumeratorTest, TheLedgerCountsAnEnumerationWhileItRuns) {
    server.injectFault({.path = "/api/files", .method = "GET", .delayMs = 2000});
    auto e = enumerator("/Team");
    auto collector = std::make_shared<ItemCollector>(HostWakeup::make());
    e->enumerateItems(collector, {});
    EXPECT_TRUE(waitUntil([&] {
        const auto status = SyncStatus::load(home.file("ledger/sync-status.json"));
        return status && status->activeEnumerations == 1;
    }));
    ASSERT_TRUE(waitUntil([&] { return collector->isFinished(); }));
    EXPECT_EQ(ledgerFile()->activeEnumerations, 0);
}

} // namespace
