#include "platform/fileprovider/FileProviderItemFields.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "platform/fileprovider/FileProviderItemTemplate.h"
#include "platform/fileprovider/host/HostContentCache.h"
#include "platform/fileprovider/host/HostSession.h"
#include "platform/fileprovider/host/ServeLoop.h"
#include "platform/fileprovider/host/SyncAnchorStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// An item whose version the test chooses.
class VersionedItem : public FileProviderItemTemplate {
public:
    VersionedItem(std::shared_ptr<FileProviderItemTemplate> base, QByteArray version)
        : FileProviderItemTemplate(*base), version_(std::move(version)) {}
    FileProviderItemVersion itemVersion() const override { return {version_, version_}; }

private:
    QByteArray version_;
};

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

namespace {

TEST(FileProviderHostParts, ServeLinesSplitIntoWordsWithQuotesAndEscapes) {
    EXPECT_EQ(ServeInput::split("read /a 0 10 out"), QStringList({"read", "/a", "0", "10", "out"}));
    EXPECT_EQ(ServeInput::split("  mv \"/Team/Q1 final.pdf\" '/Team/x y'  "),
              QStringList({"mv", "/Team/Q1 final.pdf", "/Team/x y"}));
    EXPECT_EQ(ServeInput::split(R"(put a\ b "" /c\"d)"), QStringList({"put", "a b", "", "/c\"d"}));
    EXPECT_TRUE(ServeInput::split("   ").isEmpty());
}

TEST(FileProviderHostParts, TheContentCacheKeepsMergedRangesUntilTheItemChanges) {
    QTemporaryDir dir;
    const auto fetchedFile = [&](const QString& name, qint64 size, FileProviderRange r, char c) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.resize(size);
        f.seek(r.location);
        f.write(QByteArray(r.length, c));
        return f.fileName();
    };
    const auto item = [](qint64 size, const QByteArray& version) {
        auto i = std::make_shared<FileProviderItemTemplate>(
            FileProviderItemTemplate::Fields{"/a",
                                             "NSFileProviderRootContainerItemIdentifier",
                                             "a",
                                             "application/octet-stream",
                                             size,
                                             {}});
        return std::shared_ptr<const FileProviderItemProtocol>(
            std::make_shared<VersionedItem>(i, version));
    };
    HostContentCache cache;
    QString error;
    const QString first = fetchedFile("f1", 100, {0, 40}, 'x');
    ASSERT_TRUE(cache.add("/a", item(100, "1"), first, {0, 40}, &error));
    EXPECT_FALSE(QFile::exists(first)) << "the fetched file is moved in, not copied";
    EXPECT_TRUE(cache.covering("/a", {10, 20}));
    EXPECT_FALSE(cache.covering("/a", {30, 20}));
    ASSERT_TRUE(
        cache.add("/a", item(100, "1"), fetchedFile("f2", 100, {40, 30}, 'y'), {40, 30}, &error));
    EXPECT_EQ(cache.ranges("/a"), (QList<FileProviderRange>{{0, 70}}));
    EXPECT_TRUE(cache.covering("/a", {35, 10})) << "a read across two fetches is kept";
    const auto across = cache.segments("/a", 35, 45);
    ASSERT_EQ(across.size(), 2);
    QByteArray bytes;
    for (const HostContentCache::Segment& s : across) {
        QFile f(s.file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        f.seek(s.range.location);
        bytes += f.read(s.range.length);
    }
    EXPECT_EQ(bytes, QByteArray("xxxxxyyyyy"));
    EXPECT_EQ(cache.segments("/a", 60, 100).size(), 1) << "segments stop where kept bytes do";
    EXPECT_EQ(cache.segments("/a", 60, 100).first().range.length, 10);
    EXPECT_FALSE(cache.covering("/a", {60, 1000})) << "bytes 70 to the end are not kept";
    EXPECT_TRUE(cache.covering("/a", {100, 10})) << "at the end nothing is missing";

    const auto replaced = cache.segments("/a", 0, 10).first().file;
    ASSERT_TRUE(
        cache.add("/a", item(100, "1"), fetchedFile("f3", 100, {0, 50}, 'w'), {0, 50}, &error));
    EXPECT_FALSE(QFile::exists(replaced)) << "a piece held whole by a newer one is dropped";
    EXPECT_EQ(cache.ranges("/a"), (QList<FileProviderRange>{{0, 70}}));

    ASSERT_TRUE(
        cache.add("/a", item(100, "2"), fetchedFile("f4", 100, {80, 20}, 'z'), {80, 20}, &error));
    EXPECT_EQ(cache.ranges("/a"), (QList<FileProviderRange>{{80, 20}})) << "a new version";
    EXPECT_FALSE(cache.covering("/a", {0, 10}));
}

} // namespace
