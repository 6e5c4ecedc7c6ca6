#include "fileprovider/FileProviderItem.h"
#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/PinStore.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

namespace {

namespace Id = FileProviderItemIdentifier;

const QDateTime kWhen = QDateTime::fromMSecsSinceEpoch(1'714'558'830'900, Qt::UTC);

FileProviderItem file(const QString& path, qint64 size = 2048) {
    return {path, false, size, kWhen};
}

TEST(FileProviderItems, IdentifiersArePathsAndParentsFollowThePath) {
    EXPECT_EQ(file("/a").itemIdentifier(), "/a");
    EXPECT_EQ(file("/a").parentItemIdentifier(), Id::kRootContainer);
    EXPECT_EQ(file("/a/b").parentItemIdentifier(), "/a");
    EXPECT_EQ(file("/a/b/c.txt").parentItemIdentifier(), "/a/b");

    const auto root = FileProviderItem::root();
    EXPECT_EQ(root->itemIdentifier(), Id::kRootContainer);
    EXPECT_EQ(root->parentItemIdentifier(), Id::kRootContainer);
    EXPECT_EQ(root->filename(), "Kelvane");
    EXPECT_EQ(root->contentType(), FileProviderContentType::kFolder);
    EXPECT_LE(std::abs(root->contentModificationDate().secsTo(QDateTime::currentDateTimeUtc())), 5);

    EXPECT_EQ(FileProviderItem::path(Id::kRootContainer), "/");
    EXPECT_EQ(FileProviderItem::path(Id::kWorkingSet), Id::kWorkingSet);
    EXPECT_EQ(FileProviderItem::path(Id::kTrashContainer), Id::kTrashContainer);
    EXPECT_EQ(FileProviderItem::path("/x/y"), "/x/y");
    EXPECT_EQ(FileProviderItem::childPath("/", "Team"), "/Team");
    EXPECT_EQ(FileProviderItem::childPath("/Team", "a"), "/Team/a");
}

TEST(FileProviderItems, PropertiesDeriveFromTheFourFields) {
    const FileProviderItem folder("/Reports", true, 4096, kWhen);
    EXPECT_FALSE(folder.documentSize());
    EXPECT_EQ(folder.contentType(), FileProviderContentType::kFolder);
    EXPECT_EQ(folder.filename(), "Reports");
    EXPECT_EQ(folder.capabilities(), 47u);

    const FileProviderItem f = file("/Reports/q1.pdf");
    EXPECT_EQ(f.documentSize(), 2048);
    EXPECT_EQ(f.contentType(), "application/pdf");
    EXPECT_EQ(f.contentModificationDate(), kWhen);
    EXPECT_EQ(f.creationDate(), kWhen);
    const FileProviderItemVersion v = f.itemVersion();
    EXPECT_EQ(v.contentVersion, "1714558830-2048");
    EXPECT_EQ(v.metadataVersion, "1714558830-2048");
}

TEST(FileProviderItems, ContentTypesComeFromTheLastExtensionOnly) {
    EXPECT_EQ(FileProviderItem::contentTypeForFilename("archive.tar.gz"), "application/gzip");
    EXPECT_EQ(FileProviderItem::contentTypeForFilename("notes.txt"), "text/plain");
    EXPECT_EQ(FileProviderItem::contentTypeForFilename("photo.JPG"), "image/jpeg");
    for (const QString& generic :
         QStringList{"README", "Makefile", ".bashrc", "trailing.", "x.unknownext"})
        EXPECT_EQ(FileProviderItem::contentTypeForFilename(generic), FileProviderContentType::kData)
            << generic.toStdString();
}

TEST(FileProviderItems, APinnedFileIsKeptDownloadedUntilUnpinned) {
    TestHome home;
    const FileProviderItem f = file("/Clips/intro.mov");
    EXPECT_EQ(f.contentPolicy(), FileProviderContentPolicy::inherited);
    PinStore::setPinned(true, "/Clips/intro.mov");
    EXPECT_EQ(f.contentPolicy(), FileProviderContentPolicy::downloadEagerlyAndKeepDownloaded);
    EXPECT_EQ(int(f.contentPolicy()), 3);
    PinStore::setPinned(true, "/Clips");
    EXPECT_EQ(FileProviderItem("/Clips", true, 0, kWhen).contentPolicy(),
              FileProviderContentPolicy::inherited)
        << "folders always inherit";
    PinStore::setPinned(false, "/Clips/intro.mov");
    EXPECT_EQ(file("/Clips/intro.mov").contentPolicy(), FileProviderContentPolicy::inherited);
}

TEST(SystemJunk, MatchesTheOperatingSystemsMetadataNamesOnly) {
    for (const QString& junk : QStringList{"._foo", ".DS_Store", ".Spotlight-V100", ".fseventsd",
                                           ".Trash", ".trash", ".DocumentRevisions-V100", "._"})
        EXPECT_TRUE(FileProviderExtension::isSystemJunk(junk)) << junk.toStdString();
    for (const QString& kept : QStringList{"DS_Store", ".DS_Store2", ".trashes", ".Trashes",
                                           ".ds_store", "_foo", ".Spotlight", "notes.txt"})
        EXPECT_FALSE(FileProviderExtension::isSystemJunk(kept)) << kept.toStdString();
}

} // namespace
