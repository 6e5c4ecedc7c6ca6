#include "fileprovider/PinStore.h"
#include "fileprovider/tests/support/TransferFixture.h"
#include "platform/Paths.h"

#include <QDir>

namespace {

class DeleteAndActionsTest : public TransferFixture {
protected:
    std::unique_ptr<FileProviderDomainManager> manager() {
        return registry.managerForDomain(domain);
    }
};

TEST_F(DeleteAndActionsTest, DeletingAnItemTheServerNoLongerHasSucceeds) {
    server.writeFile("Team", "old.txt", "x");
    const auto deleted = remove("/Team/old.txt");
    EXPECT_FALSE(deleted.error);
    EXPECT_EQ(deleted.progress->completedUnitCount(), 1);
    EXPECT_FALSE(QFile::exists(server.filespaceDir("Team") + "/old.txt"));
    EXPECT_FALSE(remove("/Team/old.txt").error) << "a 404 means it is gone already";

    LogLines log;
    server.injectFault({.path = "/api/files", .method = "DELETE", .status = 500, .body = "no"});
    const auto failed = remove("/Team/Welcome.txt");
    EXPECT_EQ(textOf(failed.error), "HTTP 500: no");
    EXPECT_TRUE(log.contains("deleteItem failed: HTTP 500: no"));
    server.injectFault({.path = "/api/files",
                        .method = "DELETE",
                        .status = 409,
                        .body = "Item not found in index"});
    EXPECT_FALSE(remove("/Team/Welcome.txt").error) << "\"not found\" in any failure counts too";

    server.clearFaults();
    server.clearRequests();
    for (const QString& container :
         {FileProviderItemIdentifier::kRootContainer, FileProviderItemIdentifier::kTrashContainer,
          FileProviderItemIdentifier::kWorkingSet, QStringLiteral("/")})
        EXPECT_EQ(codeOf(remove(container).error), FileProviderError::kDeletionRejected)
            << container.toStdString();
    EXPECT_TRUE(requestsNamed("DELETE", "/api/files").isEmpty())
        << "the workspace itself is never asked to go";
}

TEST_F(DeleteAndActionsTest, ShareLinksEncodeEachPieceAndSkipTheRoot) {
    const auto copied = perform("copy-share-link", {"/Team/Q1 final.pdf", "/Clips"});
    ASSERT_FALSE(copied.error) << textOf(copied.error).toStdString();
    EXPECT_EQ(pasteboard.texts, QStringList({server.baseURL() + "/open/Team/Q1%20final.pdf\n" +
                                             server.baseURL() + "/open/Clips"}));
    EXPECT_EQ(copied.progress->completedUnitCount(), 2);

    ASSERT_FALSE(perform("copy-share-link", {FileProviderItemIdentifier::kRootContainer}).error);
    EXPECT_EQ(pasteboard.string(), QString("")) << "the root alone leaves an empty text";

    writeConfig(std::nullopt, std::nullopt);
    EXPECT_FALSE(perform("copy-share-link", {"/Team/x"}).error);
    EXPECT_EQ(pasteboard.texts.size(), 2) << "signed out: nothing is copied";
}

TEST_F(DeleteAndActionsTest, DownloadNowPinsEveryItemAndReportsTheFirstFailure) {
    const auto requested =
        perform("download-now", {FileProviderItemIdentifier::kTrashContainer, "/Team/Welcome.txt"});
    EXPECT_EQ(codeOf(requested.error), FileProviderError::kNoSuchItem);
    EXPECT_EQ(requested.progress->completedUnitCount(), 2);
    EXPECT_TRUE(PinStore::isPinned(FileProviderItemIdentifier::kTrashContainer));
    EXPECT_TRUE(PinStore::isPinned("/Team/Welcome.txt"));
    EXPECT_EQ(manager()->takeDownloadRequests(), QStringList({"/Team/Welcome.txt"}))
        << "the second item is still asked for";
    EXPECT_EQ(perform("unknown-action", {"/Team/Welcome.txt"}).error, nullptr);
}

TEST_F(DeleteAndActionsTest, MakeOnlineOnlyEvictsTheLocalCopyAndUnpins) {
    PinStore::setPinned(true, "/Team/Welcome.txt");
    const QString local = Paths::cloudStorageRoot() + "/Team/Welcome.txt";
    QDir().mkpath(Paths::cloudStorageRoot() + "/Team");
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_FALSE(perform("make-online-only", {"/Team/Welcome.txt"}).error);
    EXPECT_FALSE(QFile::exists(local));
    EXPECT_FALSE(PinStore::isPinned("/Team/Welcome.txt"));

    PinStore::setPinned(true, FileProviderItemIdentifier::kWorkingSet);
    const auto failed = perform("make-online-only", {FileProviderItemIdentifier::kWorkingSet});
    EXPECT_EQ(codeOf(failed.error), FileProviderError::kNoSuchItem);
    EXPECT_TRUE(PinStore::isPinned(FileProviderItemIdentifier::kWorkingSet))
        << "a failed eviction keeps the pin";
}

TEST_F(DeleteAndActionsTest, WithoutTheDomainTheActionsFindNoProvider) {
    registry.removeDomain(domain);
    EXPECT_EQ(codeOf(perform("download-now", {"/Team/Welcome.txt"}).error),
              FileProviderError::kProviderNotFound);
    EXPECT_FALSE(PinStore::isPinned("/Team/Welcome.txt"));
}

} // namespace
