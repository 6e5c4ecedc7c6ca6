#include "platform/fileprovider/FileProviderItemFields.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "platform/fileprovider/host/HostSession.h"
#include "platform/fileprovider/host/SyncAnchorStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(FileProviderHostParts, CommandLinePathsBecomeIdentifiersAndNothingClimbsOut) {
    using Id = std::optional<QString>;
    EXPECT_EQ(HostSession::identifierFor("/"), Id(FileProviderItemIdentifier::kRootContainer));
    EXPECT_EQ(HostSession::identifierFor(""), Id(FileProviderItemIdentifier::kRootContainer));
    EXPECT_EQ(HostSession::identifierFor("Team"), Id("/Team"));
    EXPECT_EQ(HostSession::identifierFor("//Team///Projects/"), Id("/Team/Projects"));
    EXPECT_EQ(HostSession::identifierFor(FileProviderItemIdentifier::kWorkingSet),
              Id(FileProviderItemIdentifier::kWorkingSet));
    EXPECT_EQ(HostSession::identifierFor("/Team/../etc"), std::nullopt);
    EXPECT_EQ(HostSession::identifierFor("/Team/./x"), std::nullopt);
}

TEST(FileProviderHostParts, AnchorsAreKeptPerContainerAsBytes) {
    QTemporaryDir dir;
    SyncAnchorStore store(dir.filePath("anchors.json"));
    EXPECT_FALSE(store.get("/Team"));
    ASSERT_TRUE(store.set("/Team", {QByteArray("\xff\x00x", 3), 4}));
    ASSERT_TRUE(store.set("/Other", {"1700000000000", 0}));
    const auto team = SyncAnchorStore(store.file()).get("/Team");
    ASSERT_TRUE(team);
    EXPECT_EQ(team->anchor, QByteArray("\xff\x00x", 3));
    EXPECT_EQ(team->signalGeneration, 4);
    EXPECT_EQ(store.get("/Other")->anchor, "1700000000000");
}

TEST(FileProviderHostParts, ItemFieldsPrintInOneStableForm) {
    FileProviderItemFields f;
    f.itemIdentifier = "/Team/a.txt";
    f.parentItemIdentifier = "/Team";
    f.filename = "a.txt";
    f.contentType = "text/plain";
    f.capabilities = 47;
    f.documentSize = 5;
    f.contentModificationDate = QDateTime::fromSecsSinceEpoch(1'714'558'830, Qt::UTC);
    f.creationDate = f.contentModificationDate;
    f.itemVersion = {"1714558830-5", "1714558830-5"};
    EXPECT_EQ(f.line(f.filename), "file\t5\t2024-05-01T10:20:30Z\ta.txt");
    EXPECT_EQ(f.describe().at(5), "documentSize: 5");
    EXPECT_EQ(f.toJson().value("documentSize").toInteger(), 5);
    EXPECT_EQ(f.toJson().value("contentVersion").toString(), "1714558830-5");

    f.contentType = FileProviderContentType::kFolder;
    f.documentSize.reset();
    EXPECT_EQ(f.line("Team"), "folder\t-\t2024-05-01T10:20:30Z\tTeam");
    EXPECT_FALSE(f.toJson().contains("documentSize"));
}

} // namespace
