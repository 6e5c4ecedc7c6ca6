#include "shared/SyncStatus.h"
#include "shared/JsonReader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QDateTime utc(const char* text) {
    return QDateTime::fromString(text, Qt::ISODate).toUTC();
}

SyncStatus sample() {
    return SyncStatus{{SyncTransfer{"A", "/docs/x.pdf", 500, 1000, SyncTransfer::Direction::upload,
                                    utc("2024-05-01T10:00:00Z")},
                       SyncTransfer{"B", "/y", 0, 7, SyncTransfer::Direction::download,
                                    utc("2024-05-01T10:00:02Z")}},
                      utc("2024-05-01T10:00:03Z"),
                      2};
}

TEST(SyncStatusTest, EncodesCompactJsonWithInternetDates) {
    const QByteArray json = sample().toJson();
    EXPECT_FALSE(json.contains('\n'));
    EXPECT_FALSE(json.contains(": "));
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(o.value("updatedAt").toString(), "2024-05-01T10:00:03Z");
    EXPECT_EQ(o.value("activeEnumerations").toInt(), 2);
    const QJsonObject t = o.value("transfers").toArray().at(0).toObject();
    EXPECT_EQ(t.value("id").toString(), "A");
    EXPECT_EQ(t.value("path").toString(), "/docs/x.pdf");
    EXPECT_EQ(t.value("bytesTransferred").toInteger(), 500);
    EXPECT_EQ(t.value("totalBytes").toInteger(), 1000);
    EXPECT_EQ(t.value("direction").toString(), "upload");
    EXPECT_EQ(t.value("startedAt").toString(), "2024-05-01T10:00:00Z");
}

TEST(SyncStatusTest, RoundTripsAndDropsSubSecondsAndZones) {
    EXPECT_EQ(SyncStatus::fromJson(sample().toJson()), sample());
    SyncStatus s = sample();
    s.updatedAt = QDateTime::fromString("2024-05-01T12:00:03.999+02:00", Qt::ISODate);
    EXPECT_EQ(QJsonDocument::fromJson(s.toJson()).object().value("updatedAt").toString(),
              "2024-05-01T10:00:03Z");
    const SyncStatus offset = SyncStatus::fromJson(
        R"({"transfers":[],"updatedAt":"2024-05-01T12:00:03+02:00","activeEnumerations":0})");
    EXPECT_EQ(offset.updatedAt, utc("2024-05-01T10:00:03Z"));
}

TEST(SyncStatusTest, EveryKeyIsRequiredAndMustHaveItsType) {
    const QJsonObject good = QJsonDocument::fromJson(sample().toJson()).object();
    for (const QString& key : good.keys()) {
        QJsonObject o = good;
        o.remove(key);
        EXPECT_THROW(SyncStatus::fromJson(QJsonDocument(o).toJson()), DecodingError)
            << key.toStdString();
    }
    const QJsonObject transfer = good.value("transfers").toArray().at(0).toObject();
    for (const QString& key : transfer.keys()) {
        QJsonObject t = transfer;
        t.remove(key);
        QJsonObject o = good;
        o.insert("transfers", QJsonArray{t});
        EXPECT_THROW(SyncStatus::fromJson(QJsonDocument(o).toJson()), DecodingError)
            << key.toStdString();
    }
    const QByteArray bad[] = {
        "",
        "null",
        "[]",
        R"({"transfers":{},"updatedAt":"2024-05-01T10:00:03Z","activeEnumerations":0})",
        R"({"transfers":[1],"updatedAt":"2024-05-01T10:00:03Z","activeEnumerations":0})",
        R"({"transfers":[],"updatedAt":"yesterday","activeEnumerations":0})",
        R"({"transfers":[],"updatedAt":"2024-05-01T10:00:03.5Z","activeEnumerations":0})",
        R"({"transfers":[],"updatedAt":"2024-05-01T10:00:03","activeEnumerations":0})",
        R"({"transfers":[],"updatedAt":"2024-13-01T10:00:03Z","activeEnumerations":0})",
        R"({"transfers":[],"updatedAt":"2024-05-01T10:00:03Z","activeEnumerations":"1"})",
        R"({"transfers":[],"updatedAt":"2024-05-01T10:00:03Z","activeEnumerations":1.5})",
        R"({"transfers":[{"id":"A","path":"/a","bytesTransferred":0,"totalBytes":1,
            "direction":"sideways","startedAt":"2024-05-01T10:00:00Z"}],
            "updatedAt":"2024-05-01T10:00:03Z","activeEnumerations":0})",
    };
    for (const QByteArray& bytes : bad)
        EXPECT_THROW(SyncStatus::fromJson(bytes), DecodingError) << bytes.toStdString();
}

TEST(SyncStatusTest, EmptyIsIdleAndCountsGoByDirection) {
    const SyncStatus empty = SyncStatus::empty();
    EXPECT_TRUE(empty.isIdle());
    EXPECT_TRUE(empty.transfers.isEmpty());
    EXPECT_EQ(empty.updatedAt, SyncStatus::distantPast());
    EXPECT_EQ(empty.activeEnumerations, 0);
    EXPECT_FALSE(sample().isIdle());
    EXPECT_EQ(sample().count(SyncTransfer::Direction::upload), 1);
    EXPECT_EQ(sample().count(SyncTransfer::Direction::download), 1);
    SyncStatus listing = SyncStatus::empty();
    listing.activeEnumerations = 1;
    EXPECT_FALSE(listing.isIdle());
}

TEST(SyncStatusTest, LoadGivesNothingForMissingOrBadFiles) {
    QTemporaryDir dir;
    EXPECT_FALSE(SyncStatus::load(dir.filePath("missing.json")));
    EXPECT_FALSE(SyncStatus::load(dir.path())) << "a folder is no ledger";
    QFile f(dir.filePath("bad.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"transfers\":[");
    f.close();
    EXPECT_FALSE(SyncStatus::load(f.fileName()));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(sample().toJson());
    f.close();
    EXPECT_EQ(SyncStatus::load(f.fileName()), sample());
}

} // namespace
