#include "fileprovider/DateText.h"
#include "fileprovider/ListingCache.h"
#include "tests/support/TestHome.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

TEST(DateText, ReadsInternetDateTimesAndRefusesImpossibleOnes) {
    const qint64 base =
        QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC).toMSecsSinceEpoch();
    EXPECT_EQ(DateText::parse(u"2024-02-29T23:59:59Z"), base);
    EXPECT_EQ(DateText::parse(u"2024-02-29T23:59:59.9999Z"), base + 999);
    EXPECT_EQ(DateText::parse(u"2024-03-01T01:29:59+01:30"), base);
    EXPECT_EQ(DateText::parse(u"2024-02-29T22:59:59-0100"), base);
    EXPECT_EQ(DateText::parse(u"1969-12-31T23:59:59Z"), -1000);
    for (const char16_t* bad :
         {u"2023-02-29T00:00:00Z", u"2024-13-01T00:00:00Z", u"2024-01-01T24:00:00Z",
          u"2024-01-01T00:00:00", u"2024-01-01T00:00:00.Z", u"2024-01-01T00:00:00Zjunk",
          u"2024-01-01 00:00:00Z", u"24-01-01T00:00:00Z"})
        EXPECT_FALSE(DateText::parse(bad)) << QString::fromUtf16(bad).toStdString();
}

TEST(DateText, WritesWholeSecondsInUtc) {
    QByteArray out;
    DateText::appendSeconds(out, 1'714'558'830'999);
    EXPECT_EQ(out, "2024-05-01T10:20:30Z");
    out.clear();
    DateText::appendSeconds(out, -1);
    EXPECT_EQ(out, "1969-12-31T23:59:59Z");
}

TEST(DateText, RefusesDatesAnOffsetCarriesPastTheYearsItCanWrite) {
    EXPECT_FALSE(DateText::parse(u"9999-12-31T23:59:59-01:00"));
    EXPECT_FALSE(DateText::parse(u"0000-01-01T00:59:59+01:00"));
    for (const char16_t* edge : {u"9999-12-31T23:59:59.999+00:00", u"9999-12-31T23:59:59+01:00",
                                 u"0000-01-01T00:00:00Z", u"0000-01-01T01:00:00+01:00"}) {
        const auto msecs = DateText::parse(edge);
        ASSERT_TRUE(msecs) << QString::fromUtf16(edge).toStdString();
        QByteArray written;
        DateText::appendSeconds(written, *msecs);
        EXPECT_EQ(DateText::parse(QByteArrayView(written)), *msecs / 1000 * 1000)
            << written.toStdString();
    }
}

TEST(DateText, CacheNamesWithQuotesBackslashesAndControlsRoundTrip) {
    TestHome home;
    Entry e;
    e.name = QStringLiteral("a \"quoted\" \\ name\n\tü");
    e.type = "file";
    e.size = 3;
    e.modifiedAt = QDateTime::fromSecsSinceEpoch(1'714'558'830, Qt::UTC);
    ListingCache::save({e}, "t\"1", "/x");
    const auto loaded = ListingCache::load("/x");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->token, "t\"1");
    ASSERT_EQ(loaded->entries.size(), 1);
    EXPECT_EQ(loaded->entries[0], ListingCache::CachedEntry::of(e));
}

} // namespace
