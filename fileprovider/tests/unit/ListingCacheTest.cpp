#include "fileprovider/ListingCache.h"
#include "platform/AtomicFile.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using ListingCache::CachedEntry;

const QDateTime kT = QDateTime::fromSecsSinceEpoch(1'714'558'830, Qt::UTC);

CachedEntry cached(const QString& name, qint64 size = 10, const QDateTime& at = kT,
                   const QString& type = "file") {
    return {name, type, size, at};
}

Entry entry(const QString& name, const QDateTime& at = kT.addMSecs(900)) {
    Entry e;
    e.name = name;
    e.type = "file";
    e.size = 10;
    e.modifiedAt = at;
    e.mimeType = "text/plain";
    return e;
}

TEST(ListingCacheFiles, AreNamedAfterTheFolderWithoutEverSharingAFile) {
    EXPECT_EQ(ListingCache::fileName("/"), "listing-_.json");
    EXPECT_EQ(ListingCache::fileName("/Photos/2024"), "listing-_Photos_2024.json");
    EXPECT_NE(ListingCache::fileName("/a_b"), ListingCache::fileName("/a/b"));
    EXPECT_NE(ListingCache::fileName("/a%5Fb"), ListingCache::fileName("/a_b"));
    const QString deep = '/' + QString(300, 'x');
    EXPECT_LE(ListingCache::fileName(deep).toUtf8().size(), 255);
    EXPECT_NE(ListingCache::fileName(deep), ListingCache::fileName(deep + 'y'));
}

TEST(ListingCacheFiles, SaveKeepsEntriesToTheSecondAndLoadReadsThemBack) {
    TestHome home;
    EXPECT_TRUE(ListingCache::dir().endsWith(
        "/.var/app/com.30814qv.kelvane.fileprovider/data/Kelvane/listing-cache"));
    EXPECT_FALSE(ListingCache::load("/Team"));

    ListingCache::save({entry("a.txt"), entry("b.txt")}, "123", "/Team");
    QFile f(ListingCache::fileFor("/Team"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains(R"("modifiedAt":"2024-05-01T10:20:30Z")")) << text.toStdString();
    EXPECT_FALSE(text.contains("mime")) << "the MIME type is not kept";

    const auto loaded = ListingCache::load("/Team");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->token, "123");
    ASSERT_EQ(loaded->entries.size(), 2);
    EXPECT_EQ(loaded->entries[0], cached("a.txt"));

    ListingCache::save({}, "124", "/Team");
    EXPECT_TRUE(ListingCache::load("/Team")->entries.isEmpty());

    AtomicFile::write(ListingCache::fileFor("/Team"), R"({"entries":[{"name":"a"}],"token":"1"})");
    EXPECT_FALSE(ListingCache::load("/Team")) << "a file that does not decode is no listing";
}

TEST(ListingDiffs, ReportGoneNewAndChangedNames) {
    const auto d = ListingCache::diff({cached("gone"), cached("same"), cached("bigger")},
                                      {cached("same"), cached("bigger", 11), cached("new")});
    EXPECT_EQ(d.deleted, QStringList({"gone"}));
    EXPECT_EQ(d.added, QStringList({"new"}));
    EXPECT_EQ(d.modified, QStringList({"bigger"}));
}

TEST(ListingDiffs, ATimeMustMoveMoreThanOneSecondAndATypeChangeCounts) {
    const auto exactlyOne = ListingCache::diff({cached("a")}, {cached("a", 10, kT.addSecs(1))});
    EXPECT_TRUE(exactlyOne.modified.isEmpty());
    const auto backwards = ListingCache::diff({cached("a")}, {cached("a", 10, kT.addSecs(-1))});
    EXPECT_TRUE(backwards.modified.isEmpty());
    const auto more = ListingCache::diff({cached("a")}, {cached("a", 10, kT.addMSecs(1500))});
    EXPECT_EQ(more.modified, QStringList({"a"}));
    const auto earlier = ListingCache::diff({cached("a")}, {cached("a", 10, kT.addMSecs(-1001))});
    EXPECT_EQ(earlier.modified, QStringList({"a"}));
    const auto retyped =
        ListingCache::diff({cached("a", 10, kT, "directory")}, {cached("a", 10, kT, "file")});
    EXPECT_EQ(retyped.modified, QStringList({"a"}));
    const auto fresh = ListingCache::diff({}, {cached("a"), cached("b")});
    EXPECT_EQ(fresh.added.size(), 2);
    EXPECT_TRUE(fresh.deleted.isEmpty());
}

} // namespace
