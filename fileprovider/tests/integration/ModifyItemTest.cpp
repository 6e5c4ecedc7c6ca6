#include "fileprovider/PinStore.h"
#include "fileprovider/tests/support/TransferFixture.h"

#include <QJsonDocument>

namespace {

namespace F = FileProviderItemField;

class ModifyItemTest : public TransferFixture {
protected:
    QStringList apiCalls() {
        QStringList calls;
        for (const QJsonValue& v : server.requests()) {
            const QString path = v.toObject().value("path").toString();
            if (path.startsWith("/api/files/"))
                calls.append(path.mid(11) + ' ' + v.toObject().value("body").toString());
        }
        return calls;
    }
};

TEST_F(ModifyItemTest, ARenameIsOneMoveAndThePinFollowsTheItem) {
    server.writeFile("Team", "a/x.txt", "x");
    PinStore::setPinned(true, "/Team/a/x.txt");
    server.clearRequests();
    const auto renamed =
        modify(changedItem("/Team/a/x.txt", "/Team/a", "y.txt", 1), F::kFilename, std::nullopt);
    ASSERT_FALSE(renamed.error) << textOf(renamed.error).toStdString();
    EXPECT_EQ(renamed.item->itemIdentifier(), "/Team/a/y.txt");
    EXPECT_EQ(apiCalls(), QStringList({R"(move {"dst":"/Team/a/y.txt","src":"/Team/a/x.txt"})"}));
    EXPECT_EQ(PinStore::pinnedPaths(), QStringList({"/Team/a/y.txt"}));
    EXPECT_EQ(onServer("Team", "a/y.txt"), "x");

    // Into another folder, keeping the name.
    const auto moved = modify(changedItem("/Team/a/y.txt", "/Team/Projects", "y.txt", 1),
                              F::kParentItemIdentifier, std::nullopt);
    ASSERT_FALSE(moved.error);
    EXPECT_EQ(moved.item->itemIdentifier(), "/Team/Projects/y.txt");
    EXPECT_EQ(PinStore::pinnedPaths(), QStringList({"/Team/Projects/y.txt"}));

    const auto clash =
        modify(changedItem("/Team/none.txt", "/Team", "z.txt", 1), F::kFilename, std::nullopt);
    EXPECT_TRUE(textOf(clash.error).startsWith("HTTP 404")) << textOf(clash.error).toStdString();

    server.clearRequests();
    const auto climbing = modify(changedItem("/Team/Projects/y.txt", "/Team/Projects", "..", 1),
                                 F::kFilename, std::nullopt);
    EXPECT_TRUE(textOf(climbing.error).contains("cannot be used"));
    EXPECT_TRUE(apiCalls().isEmpty()) << "nothing is moved";
    EXPECT_EQ(PinStore::pinnedPaths(), QStringList({"/Team/Projects/y.txt"}));
}

TEST_F(ModifyItemTest, ANameAndContentsChangeMovesFirstThenUploadsToTheNewPath) {
    server.writeFile("Team", "draft.txt", "old");
    server.clearRequests();
    const auto changed = modify(changedItem("/Team/draft.txt", "/Team", "final.txt", 7),
                                F::kFilename | F::kContents, localFile("new", "new one"));
    ASSERT_FALSE(changed.error) << textOf(changed.error).toStdString();
    EXPECT_EQ(changed.item->itemIdentifier(), "/Team/final.txt");
    EXPECT_EQ(apiCalls(), QStringList({R"(move {"dst":"/Team/final.txt","src":"/Team/draft.txt"})",
                                       R"(presign-upload {"path":"/Team/final.txt"})",
                                       R"(presign-notify {"path":"/Team/final.txt","size":"7"})"}));
    EXPECT_EQ(onServer("Team", "final.txt"), "new one");
    EXPECT_EQ(changed.progress->completedUnitCount(), 100);
}

TEST_F(ModifyItemTest, OtherFieldsSendNothingAndARefusedPutIsUnreachable) {
    server.writeFile("Team", "keep.txt", "keep");
    server.clearRequests();
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const auto touched =
        modify(changedItem("/Team/keep.txt", "/Team", "keep.txt", 4),
               F::kContentModificationDate | F::kTagData | F::kFilename, std::nullopt);
    ASSERT_FALSE(touched.error);
    EXPECT_EQ(server.requests().size(), 0) << "the same name and folder: nothing to move";
    EXPECT_GE(touched.item->contentModificationDate(), before);
    EXPECT_EQ(touched.item->documentSize(), 4);

    server.setPresignExpiry(-10);
    const auto refused = modify(changedItem("/Team/keep.txt", "/Team", "keep.txt", 4), F::kContents,
                                localFile("c", "changed"));
    EXPECT_EQ(codeOf(refused.error), FileProviderError::kServerUnreachable);
    EXPECT_EQ(onServer("Team", "keep.txt"), "keep");
    EXPECT_EQ(requestsNamed("POST", "/api/files/presign-notify").size(), 0);
}

} // namespace
