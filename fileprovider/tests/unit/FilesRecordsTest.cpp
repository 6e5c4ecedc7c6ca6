#include "fileprovider/FilesRecords.h"
#include "fileprovider/KelvaneAPI.h"
#include "shared/JsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

QByteArray listing(const QJsonArray& entries) {
    return QJsonDocument(QJsonObject{{"path", "/x"}, {"entries", entries}}).toJson();
}

QJsonObject entry(const QJsonValue& modified = "2024-05-01T10:20:30Z") {
    return {{"name", "a.txt"}, {"type", "file"}, {"size", 12}, {"modified_at", modified}};
}

TEST(ServerDates, AcceptInternetDateTimesWithOrWithoutFractionsAndFallBackToNow) {
    const QDateTime plain = QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30), Qt::UTC);
    EXPECT_EQ(ServerDate::parse("2024-05-01T10:20:30Z", kNow), plain);
    EXPECT_EQ(ServerDate::parse("2024-05-01T10:20:30.250Z", kNow), plain.addMSecs(250));
    EXPECT_EQ(ServerDate::parse("2024-05-01T10:20:30.123456789Z", kNow), plain.addMSecs(123));
    EXPECT_EQ(ServerDate::parse("2024-05-01T12:20:30+02:00", kNow), plain);
    EXPECT_EQ(ServerDate::parse("2024-05-01T12:20:30.5+0200", kNow), plain.addMSecs(500));
    for (const QString& text : QStringList{"yesterday", "", "2024-05-01", "2024-05-01T10:20:30",
                                           "2024-13-01T10:20:30Z", "2024-05-01 10:20:30Z"})
        EXPECT_EQ(ServerDate::parse(text, kNow), kNow) << text.toStdString();
}

TEST(ListResponses, DecodeStrictlyExceptForTheDateAndTheOptionalMimeType) {
    QJsonObject withoutMime = entry();
    QJsonObject nullMime = entry();
    nullMime.insert("mime_type", QJsonValue::Null);
    QJsonObject withMime = entry();
    withMime.insert("mime_type", "text/plain");
    withMime.insert("unknown", 1);
    const ListResponse r = ListResponse::fromJson(listing({withoutMime, nullMime, withMime}));
    ASSERT_EQ(r.entries.size(), 3);
    EXPECT_EQ(r.path, "/x");
    EXPECT_FALSE(r.entries[0].mimeType);
    EXPECT_FALSE(r.entries[1].mimeType);
    EXPECT_EQ(r.entries[2].mimeType, "text/plain");
    EXPECT_EQ(r.entries[0].size, 12);
    EXPECT_FALSE(r.entries[0].isDirectory());

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const ListResponse notADate = ListResponse::fromJson(listing({entry("soon")}));
    EXPECT_GE(notADate.entries[0].modifiedAt, before.addSecs(-1));

    QJsonObject noSize = entry();
    noSize.remove("size");
    QJsonObject textSize = entry();
    textSize.insert("size", "12");
    QJsonObject fractionalSize = entry();
    fractionalSize.insert("size", 1.5);
    for (const QByteArray& bad :
         {listing({entry(1714558830)}), listing({noSize}), listing({textSize}),
          listing({fractionalSize}), listing({QJsonValue(3)}), QByteArray(R"({"path":"/"})"),
          QByteArray(R"({"entries":[]})"), QByteArray("[]"), QByteArray("")})
        EXPECT_THROW(ListResponse::fromJson(bad), DecodingError) << bad.toStdString();
}

TEST(ListResponses, NamesThatCannotBeOnePathPieceAreMarkedUnusable) {
    Entry e;
    for (const QString& name : QStringList{"a", ".hidden", "...", "a b", "ü"}) {
        e.name = name;
        EXPECT_TRUE(e.hasUsableName()) << name.toStdString();
    }
    for (const QString& name :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b"),
          QStringLiteral("/"), QStringLiteral("a") + QChar(0)}) {
        e.name = name;
        EXPECT_FALSE(e.hasUsableName()) << name.toStdString();
    }
}

TEST(FilesQueries, ThePathTravelsAsOneQueryValue) {
    EXPECT_EQ(KelvaneAPI::encodeQueryValue("/"), "%2F");
    EXPECT_EQ(KelvaneAPI::encodeQueryValue("/Team Docs/plan.txt"), "%2FTeam%20Docs%2Fplan.txt");
    EXPECT_EQ(KelvaneAPI::encodeQueryValue("/a&b=c+d#e%f?g"), "%2Fa%26b%3Dc%2Bd%23e%25f%3Fg");
    EXPECT_EQ(KelvaneAPI::encodeQueryValue("/ü(1)!;@:'*,$~"), "%2F%C3%BC(1)!;@:'*,$~");
}

TEST(FilesQueries, TheCompletionListsPartsInTheCallersOrderWithTheirOwnKeys) {
    const QJsonObject body =
        KelvaneAPI::completionBody("uploads/k", "U", {{3, "\"c\""}, {1, "\"a\""}, {2, "\"b\""}});
    EXPECT_EQ(body.value("key").toString(), "uploads/k");
    EXPECT_EQ(body.value("s3UploadId").toString(), "U");
    const QJsonArray parts = body.value("parts").toArray();
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts.at(0).toObject(), (QJsonObject{{"PartNumber", 3}, {"Etag", "\"c\""}}));
    EXPECT_EQ(parts.at(1).toObject(), (QJsonObject{{"PartNumber", 1}, {"Etag", "\"a\""}}));
    EXPECT_EQ(parts.at(2).toObject().keys(), QStringList({"Etag", "PartNumber"}));
}

TEST(TextObjects, OnlyObjectsOfTextPass) {
    EXPECT_NO_THROW(TextObject::check("{}"));
    EXPECT_NO_THROW(TextObject::check(R"({"path":"/a"})"));
    for (const QByteArray& bad : {QByteArray(""), QByteArray("[]"), QByteArray("3"),
                                  QByteArray(R"({"ok":true})"), QByteArray(R"({"n":null})")})
        EXPECT_THROW(TextObject::check(bad), DecodingError) << bad.toStdString();
}

} // namespace

namespace {

TEST(ListResponses, ReadEscapesNumbersAndUnknownValuesAndRefuseBrokenJson) {
    const QByteArray body = R"( {"extra":{"a":[1,2.5e3,true,null,"x"]},"path":"\/x",
        "entries":[{"name":"\u00fc \ud83d\ude00 \"q\" \\ \n","type":"file","size":12.0,
                    "modified_at":"2024-05-01T10:20:30Z","other":[{}]},
                   {"name":"b","type":"directory","size":1e2,"modified_at":"x",
                    "mime_type":null}]} )";
    const ListResponse r = ListResponse::fromJson(body);
    EXPECT_EQ(r.path, "/x");
    ASSERT_EQ(r.entries.size(), 2);
    EXPECT_EQ(r.entries[0].name, QStringLiteral("ü \U0001F600 \"q\" \\ \n"));
    EXPECT_EQ(r.entries[0].size, 12);
    EXPECT_EQ(r.entries[1].size, 100);
    EXPECT_TRUE(r.entries[1].isDirectory());
    for (const QByteArray& broken :
         {QByteArray(R"({"path":"/x","entries":[]} x)"),
          QByteArray(R"({"path":"/x","entries":[],})"), QByteArray(R"({"path":"/x" "entries":[]})"),
          QByteArray(R"({"path":"/x","entries":[01]})"),
          QByteArray(R"({"path":"\q","entries":[]})"),
          QByteArray("{\"path\":\"a\tb\",\"entries\":[]}"),
          QByteArray(R"({"path":"/x","entries":[)"), QByteArray(R"({"path":tru,"entries":[]})")})
        EXPECT_THROW(ListResponse::fromJson(broken), DecodingError) << broken.toStdString();
    try {
        ListResponse::fromJson(R"({"path":"/x","entries":[{"name":"a","type":"file",)"
                               R"("modified_at":"2024-05-01T10:20:30Z"}]})");
        ADD_FAILURE();
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.description(), "Entry: key \"size\" not found");
    }
}

} // namespace
