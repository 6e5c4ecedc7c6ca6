#include "tests/support/DevServer.h"
#include "tools/devserver/tests/FilesApiCalls.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

QByteArray bytes(qint64 size, char seed) {
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        data[i] = char(seed + i * 31 % 251);
    return data;
}

QString quotedMd5(const QByteArray& data) {
    return '"' +
           QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()) +
           '"';
}

class ObjectStoreTest : public testing::Test {
protected:
    QString downloadURL(const QString& path) {
        return calls.post("presign-download", {{"path", path}}).object().value("url").toString();
    }
    QByteArray onDisk(const QString& relative) {
        QFile f(server.dataDir() + "/filespaces/" + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    struct Multipart {
        QString key;
        QString uploadId;
    };
    Multipart begin(const QString& path) {
        const QJsonObject o = calls.post("direct-multipart-init", {{"path", path}}).object();
        return {o.value("key").toString(), o.value("s3UploadId").toString()};
    }
    FilesApiCalls::Answer partURL(const Multipart& upload, const QJsonValue& number) {
        return calls.post(
            "direct-multipart-part-url",
            {{"key", upload.key}, {"s3UploadId", upload.uploadId}, {"partNumber", number}});
    }
    QString putPart(const Multipart& upload, int number, const QByteArray& data) {
        const auto stored =
            calls.put(partURL(upload, number).object().value("url").toString(), data);
        EXPECT_EQ(stored.status, 200) << stored.body.toStdString();
        return stored.header("ETag");
    }
    FilesApiCalls::Answer complete(const Multipart& upload,
                                   const QList<QPair<int, QString>>& parts) {
        QJsonArray list;
        for (const auto& [number, etag] : parts)
            list.append(QJsonObject{{"PartNumber", number}, {"Etag", etag}});
        return calls.post("direct-multipart-complete",
                          {{"key", upload.key}, {"s3UploadId", upload.uploadId}, {"parts", list}});
    }

    DevServer server;
    FilesApiCalls calls{server.port(), server.demoToken()};
};

TEST_F(ObjectStoreTest, DownloadsHonourOneRangeAsAnObjectStoreDoes) {
    const QString url = downloadURL("/Team/Welcome.txt");
    const QByteArray whole = "Welcome to the Team filespace.\n";

    const auto full = calls.get(url);
    EXPECT_EQ(full.status, 200);
    EXPECT_EQ(full.body, whole);
    EXPECT_EQ(full.header("Accept-Ranges"), "bytes");
    EXPECT_TRUE(full.header("Content-Range").isEmpty());

    const auto middle = calls.get(url, {{"Range", "bytes=5-9"}});
    EXPECT_EQ(middle.status, 206);
    EXPECT_EQ(middle.body, "me to");
    EXPECT_EQ(middle.header("Content-Range"), "bytes 5-9/31");
    EXPECT_EQ(middle.header("Content-Length"), "5");

    EXPECT_EQ(calls.get(url, {{"Range", "bytes=25-"}}).body, whole.mid(25));
    EXPECT_EQ(calls.get(url, {{"Range", "bytes=-4"}}).body, whole.right(4));
    const auto clamped = calls.get(url, {{"Range", "bytes=20-1000"}});
    EXPECT_EQ(clamped.header("Content-Range"), "bytes 20-30/31");
    EXPECT_EQ(clamped.body, whole.mid(20));
    EXPECT_EQ(calls.get(url, {{"Range", "bytes=0-1,5-6"}}).status, 200) << "one range only";

    const auto past = calls.get(url, {{"Range", "bytes=31-"}});
    EXPECT_EQ(past.status, 416);
    EXPECT_EQ(past.header("Content-Range"), "bytes */31");
    EXPECT_TRUE(past.body.contains("<Code>InvalidRange</Code>"));
}

TEST_F(ObjectStoreTest, PresignedAddressesExpireAndCannotBeAlteredOrReused) {
    server.setPresignExpiry(-60);
    const auto expired = calls.get(downloadURL("/Team/Welcome.txt"));
    EXPECT_EQ(expired.status, 403);
    EXPECT_TRUE(expired.body.contains("<Code>AccessDenied</Code>"));
    server.setPresignExpiry(3600);

    const QString url = downloadURL("/Team/Welcome.txt");
    ASSERT_EQ(calls.get(url).status, 200);
    QString altered = url;
    altered[altered.size() - 1] = altered.endsWith('0') ? '1' : '0';
    const auto forged = calls.get(altered);
    EXPECT_EQ(forged.status, 403);
    EXPECT_TRUE(forged.body.contains("SignatureDoesNotMatch"));

    QString later = url;
    later.replace("X-Kelvane-Expires=", "X-Kelvane-Expires=9");
    EXPECT_EQ(calls.get(later).status, 403) << "the expiry is signed";
    QString otherObject = url;
    otherObject.replace("Welcome.txt", "Projects/Plan.md");
    EXPECT_EQ(calls.get(otherObject).status, 403) << "the key is signed";
    EXPECT_EQ(calls.put(url, "overwrite").status, 403) << "the method is signed";
    EXPECT_EQ(calls.get(url.left(url.indexOf('?'))).status, 403) << "unsigned";
    EXPECT_EQ(onDisk("Team/Welcome.txt"), "Welcome to the Team filespace.\n");
}

TEST_F(ObjectStoreTest, APutAnswersTheQuotedMd5AndTheImportMovesTheObjectIntoPlace) {
    const QJsonObject presigned =
        calls.post("direct-presign-upload", {{"path", "/Team/Notes.txt"}}).object();
    const QString key = presigned.value("key").toString();
    EXPECT_TRUE(key.startsWith("uploads/"));
    const auto stored = calls.put(presigned.value("url").toString(), "hello");
    ASSERT_EQ(stored.status, 200);
    EXPECT_EQ(stored.header("ETag"), "\"5d41402abc4b2a76b9719d911017c592\"");
    EXPECT_EQ(server.objectStore().value("staged_objects").toInt(), 1);

    EXPECT_EQ(
        calls.post("direct-import", {{"key", key}, {"path", "/Team/Missing/Notes.txt"}}).status,
        404);
    EXPECT_EQ(
        calls.post("direct-import", {{"key", "../workspace.json"}, {"path", "/Team/x"}}).status,
        400);
    const auto imported = calls.post("direct-import", {{"key", key}, {"path", "/Team/Notes.txt"}});
    ASSERT_EQ(imported.status, 200) << imported.body.toStdString();
    EXPECT_EQ(onDisk("Team/Notes.txt"), "hello");
    EXPECT_EQ(server.objectStore().value("staged_objects").toInt(), 0);
    EXPECT_EQ(calls.post("direct-import", {{"key", key}, {"path", "/Team/Notes.txt"}}).status, 404)
        << "an object is imported once";

    const QString upload = calls.post("presign-upload", {{"path", "/Team/Notes.txt"}})
                               .object()
                               .value("url")
                               .toString();
    EXPECT_EQ(calls.put(upload, "changed").header("ETag"), quotedMd5("changed"));
    EXPECT_EQ(onDisk("Team/Notes.txt"), "changed");
    EXPECT_EQ(calls.post("presign-upload", {{"path", "/Team/Projects"}}).status, 409);
    EXPECT_EQ(calls.post("presign-download", {{"path", "/Team/Projects"}}).status, 400);
    EXPECT_EQ(calls.post("presign-download", {{"path", "/Team/none"}}).status, 404);
}

TEST_F(ObjectStoreTest, MultipartCompletionChecksPartsAsS3Does) {
    const Multipart upload = begin("/Team/big.bin");
    ASSERT_FALSE(upload.uploadId.isEmpty());
    const QByteArray one = bytes(5 * kMiB, 1), two = bytes(5 * kMiB, 2), three = bytes(1024, 3);
    const QString e1 = putPart(upload, 1, one), e2 = putPart(upload, 2, two),
                  e3 = putPart(upload, 3, three);
    EXPECT_EQ(e1, quotedMd5(one));

    EXPECT_EQ(partURL(upload, 0).status, 400);
    EXPECT_EQ(partURL(upload, 10001).status, 400);
    EXPECT_EQ(partURL(upload, "1").status, 400);
    EXPECT_EQ(partURL(upload, 1.5).status, 400);
    QString otherPart = partURL(upload, 2).object().value("url").toString();
    otherPart.replace("partNumber=2", "partNumber=4");
    EXPECT_EQ(calls.put(otherPart, "x").status, 403) << "the part number is signed";

    EXPECT_TRUE(complete(upload, {{2, e2}, {1, e1}, {3, e3}}).body.startsWith("InvalidPartOrder"));
    EXPECT_TRUE(complete(upload, {{1, e1}, {2, e1}, {3, e3}}).body.startsWith("InvalidPart:"));
    EXPECT_TRUE(complete(upload, {{1, e1}, {2, e2}, {4, e3}}).body.startsWith("InvalidPart:"));
    EXPECT_TRUE(complete(upload, {}).body.startsWith("MalformedXML"));
    EXPECT_EQ(complete({upload.key, "0123456789012345678901234567890123456789"}, {{1, e1}}).status,
              404);

    QString unquoted = e3;
    unquoted.remove('"');
    const auto done = complete(upload, {{1, e1}, {2, e2}, {3, unquoted}});
    ASSERT_EQ(done.status, 200) << done.body.toStdString();
    EXPECT_TRUE(done.object().value("etag").toString().endsWith("-3\""));
    EXPECT_EQ(server.objectStore().value("multipart_uploads").toInt(), 0);
    ASSERT_EQ(calls.post("direct-import", {{"key", upload.key}, {"path", "/Team/big.bin"}}).status,
              200);
    EXPECT_EQ(onDisk("Team/big.bin"), one + two + three);
    EXPECT_EQ(complete(upload, {{1, e1}}).status, 404) << "a completed upload is gone";
}

TEST_F(ObjectStoreTest, EveryPartButTheLastNeedsFiveMebibytes) {
    const Multipart upload = begin("/Team/small.bin");
    const QString e1 = putPart(upload, 1, bytes(5 * kMiB - 1, 1));
    const QString e2 = putPart(upload, 2, bytes(10, 2));
    const auto refused = complete(upload, {{1, e1}, {2, e2}});
    EXPECT_EQ(refused.status, 400);
    EXPECT_TRUE(refused.body.startsWith("EntityTooSmall")) << refused.body.toStdString();
    EXPECT_EQ(complete(upload, {{2, e2}}).status, 200) << "a single small part is the last";
}

TEST_F(ObjectStoreTest, AnAbortDiscardsTheUploadAndItsParts) {
    const Multipart upload = begin("/Team/aborted.bin");
    const QString url = partURL(upload, 1).object().value("url").toString();
    ASSERT_EQ(calls.put(url, "part").status, 200);
    EXPECT_EQ(server.objectStore().value("multipart_uploads").toInt(), 1);

    const auto aborted = calls.post("direct-multipart-abort",
                                    {{"key", upload.key}, {"s3UploadId", upload.uploadId}});
    EXPECT_EQ(aborted.status, 200);
    EXPECT_EQ(server.objectStore().value("multipart_uploads").toInt(), 0);
    const auto late = calls.put(url, "part");
    EXPECT_EQ(late.status, 404);
    EXPECT_TRUE(late.body.contains("<Code>NoSuchUpload</Code>"));
    EXPECT_EQ(
        calls.post("direct-multipart-abort", {{"key", upload.key}, {"s3UploadId", upload.uploadId}})
            .status,
        404);
    EXPECT_EQ(partURL(upload, 1).status, 404);
}

TEST_F(ObjectStoreTest, FaultsReachTheObjectStoreAndKeepTheirBodyOnRangedRequests) {
    const QString url = downloadURL("/Team/Welcome.txt");
    server.injectFault({.path = "/objects/*",
                        .method = "GET",
                        .status = 503,
                        .body = "slow down",
                        .contentType = "text/plain"});
    const auto faulted = calls.get(url, {{"Range", "bytes=2-"}});
    EXPECT_EQ(faulted.status, 503);
    EXPECT_EQ(faulted.body, "slow down");
    EXPECT_TRUE(faulted.header("Content-Range").isEmpty());

    server.injectFault({.path = "/objects/*", .method = "PUT", .cut = true});
    const QString put =
        calls.post("direct-presign-upload", {{"path", "/Team/x"}}).object().value("url").toString();
    EXPECT_EQ(calls.put(put, "data").status, 0) << "the connection was cut";
    EXPECT_EQ(server.objectStore().value("staged_objects").toInt(), 0);
    EXPECT_EQ(calls.get(url).status, 200);
}

TEST_F(ObjectStoreTest, ALargeUploadRefusedBeforeItsBodyIsReadStillGetsTheAnswer) {
    // Answered before reading, the body still on its way would meet a reset connection.
    const QByteArray big = bytes(24 * kMiB, 3);
    const QString url =
        calls.post("direct-presign-upload", {{"path", "/Team/y"}}).object().value("url").toString();
    for (int i = 0; i < 3; ++i) {
        server.injectFault({.path = "/objects/*", .method = "PUT", .status = 403, .body = "no"});
        const auto faulted = calls.put(url, big);
        EXPECT_EQ(faulted.status, 403);
        EXPECT_EQ(faulted.body, "no");
        EXPECT_EQ(calls.put(url.left(url.indexOf('?')), big).status, 403) << "unsigned";
    }
    EXPECT_EQ(server.objectStore().value("staged_objects").toInt(), 0) << "nothing is stored";
    EXPECT_EQ(calls.put(url, big).status, 200);
}

TEST_F(ObjectStoreTest, AFaultCanCutADownloadAfterSomeBytesOnce) {
    const QByteArray big = bytes(3 * kMiB + 5000, 3);
    ASSERT_EQ(calls.uploadFile("/Team/cut.bin", big).status, 200);
    const QString url = downloadURL("/Team/cut.bin");
    server.injectFault({.path = "/objects/*", .method = "GET", .cutAfterBytes = 2 * kMiB + 7});

    httplib::Client client("127.0.0.1", server.port());
    QByteArray received;
    const auto cut = client.Get(FilesApiCalls::pathAndQuery(url).toStdString(),
                                {{"Range", "bytes=100-"}}, [&](const char* data, size_t length) {
                                    received.append(data, qsizetype(length));
                                    return true;
                                });
    EXPECT_FALSE(cut) << "the connection closes before the announced length";
    EXPECT_EQ(received.size(), 2 * kMiB + 7);
    EXPECT_TRUE(received == big.mid(100, 2 * kMiB + 7)) << "the bytes before the cut are right";
    bool sawCut = false;
    for (const QJsonValue& v : server.requests())
        sawCut |= v.toObject().value("status") == QJsonValue("cut");
    EXPECT_TRUE(sawCut) << "the journal tells the cut";

    const auto whole = calls.get(url);
    EXPECT_EQ(whole.status, 200) << "the fault was used up";
    EXPECT_TRUE(whole.body == big);
}

TEST_F(ObjectStoreTest, BodiesLargerThanAnyBufferStreamToDiskAndBack) {
    const QByteArray big = bytes(96 * kMiB, 7);
    ASSERT_EQ(calls.uploadFile("/Team/large.bin", big).status, 200);
    const auto back = calls.get(downloadURL("/Team/large.bin"));
    ASSERT_EQ(back.status, 200);
    EXPECT_EQ(back.body.size(), big.size());
    EXPECT_TRUE(back.body == big);
    const auto tail = calls.get(downloadURL("/Team/large.bin"), {{"Range", "bytes=100000000-"}});
    EXPECT_EQ(tail.status, 206);
    EXPECT_TRUE(tail.body == big.mid(100'000'000));
}

} // namespace
