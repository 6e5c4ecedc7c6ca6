#include "fileprovider/tests/support/TransferFixture.h"

#include <QJsonDocument>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

class CreateItemTest : public TransferFixture {
protected:
    QJsonObject bodyOf(const QJsonObject& request) {
        return QJsonDocument::fromJson(request.value("body").toString().toUtf8()).object();
    }
};

TEST_F(CreateItemTest, ASmallFileIsOnePutAndAnImport) {
    const auto made =
        create(fileTemplate("/Team/Projects", "Notes.txt"), localFile("notes", "hello"));
    ASSERT_FALSE(made.error) << textOf(made.error).toStdString();
    EXPECT_EQ(made.item->itemIdentifier(), "/Team/Projects/Notes.txt");
    EXPECT_EQ(made.item->documentSize(), 5);
    EXPECT_EQ(made.progress->completedUnitCount(), 100);
    EXPECT_EQ(onServer("Team", "Projects/Notes.txt"), "hello");

    const QJsonArray presign = requestsNamed("POST", "/api/files/direct-presign-upload");
    ASSERT_EQ(presign.size(), 1);
    EXPECT_EQ(bodyOf(presign[0].toObject()).value("path"), "/Team/Projects/Notes.txt");
    EXPECT_EQ(requestsNamed("PUT", "/objects/").size(), 1);
    const QJsonArray import = requestsNamed("POST", "/api/files/direct-import");
    ASSERT_EQ(import.size(), 1);
    EXPECT_EQ(bodyOf(import[0].toObject()).value("path"), "/Team/Projects/Notes.txt");
    EXPECT_TRUE(bodyOf(import[0].toObject()).value("key").toString().startsWith("uploads/"));
    EXPECT_EQ(requestsNamed("POST", "/api/files/direct-multipart-init").size(), 0);
}

TEST_F(CreateItemTest, SixteenMebibytesIsWhereMultipartBegins) {
    const QByteArray below = bytes(16 * kMiB - 1, 3);
    ASSERT_FALSE(create(fileTemplate("/Team", "below.bin"), localFile("below", below)).error);
    EXPECT_EQ(requestsNamed("PUT", "/objects/").size(), 1);
    EXPECT_EQ(requestsNamed("POST", "/api/files/direct-multipart-init").size(), 0);
    EXPECT_TRUE(onServer("Team", "below.bin") == below);

    server.clearRequests();
    const QByteArray at = bytes(16 * kMiB, 4);
    const auto made = create(fileTemplate("/Team", "at.bin"), localFile("at", at));
    ASSERT_FALSE(made.error) << textOf(made.error).toStdString();
    EXPECT_EQ(requestsNamed("POST", "/api/files/direct-multipart-init").size(), 1);
    const QJsonArray parts = requestsNamed("PUT", "/objects/");
    ASSERT_EQ(parts.size(), 2);
    EXPECT_TRUE(onServer("Team", "at.bin") == at);
    EXPECT_EQ(made.item->documentSize(), 16 * kMiB);
}

TEST_F(CreateItemTest, JunkNamesAndFilesWithoutContentsAreRefusedWithNothingSent) {
    server.clearRequests();
    for (const QString name : {"._Notes.txt", ".DS_Store"}) {
        const auto refused = create(fileTemplate("/Team", name), localFile("junk", "x"));
        EXPECT_EQ(codeOf(refused.error), FileProviderError::kNoSuchItem) << name.toStdString();
    }
    EXPECT_EQ(server.requests().size(), 0);
    EXPECT_EQ(codeOf(create(fileTemplate("/Team", "a.txt"), std::nullopt).error),
              FileProviderError::kNoSuchItem);
    EXPECT_FALSE(create(fileTemplate("/Team", "gone.txt"), home.file("absent")).error == nullptr);

    // Names that are not one piece of a path would climb out of the folder or reach into
    // another one.
    server.clearRequests();
    for (const QString name : {"..", ".", "a/b", ""}) {
        const auto file = create(fileTemplate("/Team/Sub", name), localFile("named", "x"));
        EXPECT_TRUE(textOf(file.error).contains("cannot be used")) << name.toStdString();
        const auto folder = create(folderTemplate("/Team/Sub", name), std::nullopt);
        EXPECT_TRUE(textOf(folder.error).contains("cannot be used")) << name.toStdString();
    }
    EXPECT_EQ(server.requests().size(), 0);
}

TEST_F(CreateItemTest, AFolderIsMadeWithMkdir) {
    const auto made = create(folderTemplate("/Team", "Drafts"), std::nullopt);
    ASSERT_FALSE(made.error) << textOf(made.error).toStdString();
    EXPECT_EQ(made.item->itemIdentifier(), "/Team/Drafts");
    EXPECT_EQ(made.item->contentType(), FileProviderContentType::kFolder);
    EXPECT_FALSE(made.item->documentSize());
    EXPECT_TRUE(QFileInfo(server.filespaceDir("Team") + "/Drafts").isDir());
    const auto clash = create(folderTemplate("/Team", "Drafts"), std::nullopt);
    EXPECT_TRUE(textOf(clash.error).startsWith("HTTP 4")) << textOf(clash.error).toStdString();
}

TEST_F(CreateItemTest, APutTheStoreRefusesIsUnreachableAndLeavesNoTransfer) {
    server.setPresignExpiry(-10);
    const auto refused = create(fileTemplate("/Team", "late.txt"), localFile("late", "data"));
    EXPECT_EQ(codeOf(refused.error), FileProviderError::kServerUnreachable)
        << textOf(refused.error).toStdString();
    EXPECT_FALSE(QFile::exists(server.filespaceDir("Team") + "/late.txt"));
    EXPECT_EQ(requestsNamed("POST", "/api/files/direct-import").size(), 0);
}

TEST_F(CreateItemTest, TheLedgerFollowsAnUploadWhileItRuns) {
    server.injectFault({.path = "/objects/*", .method = "PUT", .delayMs = 1500});
    auto done = std::make_shared<bool>(false);
    const auto progress = extension->createItem(
        fileTemplate("/Team", "slow.txt"), 0, localFile("slow", bytes(kMiB)), 0,
        [done](FileProviderItemPtr, quint64, bool, std::exception_ptr) { *done = true; });
    EXPECT_TRUE(waitUntil([&] {
        const auto status = SyncStatus::load(home.file("ledger/sync-status.json"));
        return status && status->count(SyncTransfer::Direction::upload) == 1 &&
               status->transfers.first().path == "/Team/slow.txt";
    }));
    EXPECT_TRUE(waitUntil([&] { return *done; }));
}

} // namespace
