#include "fileprovider/MPError.h"
#include "fileprovider/MultipartUploader.h"
#include "fileprovider/tests/support/TransferFixture.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QMap>
#include <QUrl>
#include <QUrlQuery>

namespace {

constexpr qint64 kPart = MultipartUploader::kPartSize;

class MultipartUploadTest : public TransferFixture {
protected:
    // Uploads the local file as if it had `size` bytes; the failure's text, empty on success.
    QString upload(const QString& local, qint64 size, const QString& dest) {
        progress = std::make_shared<FileProviderProgress>(100);
        return failureOf(MultipartUploader::upload(local, size, dest, progress,
                                                   extension->session(), extension->api()));
    }
    int aborts() { return int(requestsNamed("POST", "/api/files/direct-multipart-abort").size()); }
    // Each part's length by part number (parts may reach the store in any order).
    QList<qint64> partLengths() {
        QMap<int, qint64> byNumber;
        for (const QJsonValue& v : requestsNamed("PUT", "/objects/uploads/")) {
            const QUrlQuery query(QUrl(v.toObject().value("target").toString()).query());
            byNumber.insert(query.queryItemValue("partNumber").toInt(),
                            v.toObject().value("Content-Length").toString().toLongLong());
        }
        return byNumber.values();
    }
    QList<int> completedPartNumbers() {
        const QJsonArray complete = requestsNamed("POST", "/api/files/direct-multipart-complete");
        QList<int> numbers;
        if (complete.isEmpty())
            return numbers;
        const QJsonObject body =
            QJsonDocument::fromJson(complete.last().toObject().value("body").toString().toUtf8())
                .object();
        for (const QJsonValue& p : body.value("parts").toArray())
            numbers.append(p.toObject().value("PartNumber").toInt());
        return numbers;
    }

    std::shared_ptr<FileProviderProgress> progress;
};

TEST_F(MultipartUploadTest, PartsAreTenMebibytesAndTheLastHoldsTheRest) {
    const QByteArray exact = bytes(kPart, 5);
    EXPECT_EQ(upload(localFile("exact", exact), kPart, "/Team/exact.bin"), "");
    EXPECT_EQ(partLengths(), QList<qint64>({kPart}));
    EXPECT_TRUE(onServer("Team", "exact.bin") == exact);
    EXPECT_EQ(progress->completedUnitCount(), 100);

    server.clearRequests();
    const QByteArray more = bytes(kPart + 1, 6);
    EXPECT_EQ(upload(localFile("more", more), kPart + 1, "/Team/more.bin"), "");
    EXPECT_EQ(partLengths(), QList<qint64>({kPart, 1}));
    EXPECT_EQ(completedPartNumbers(), QList<int>({1, 2}));
    EXPECT_TRUE(onServer("Team", "more.bin") == more);
    EXPECT_EQ(aborts(), 0);
    EXPECT_EQ(server.objectStore().value("multipart_uploads").toInt(), 0);
}

TEST_F(MultipartUploadTest, APartRefusedOrWithoutETagEndsTheUploadAndAbortsIt) {
    const QString local = localFile("two", bytes(kPart + 1000, 7));
    server.injectFault({.path = "/objects/uploads/*", .method = "PUT", .status = 403});
    const QString refused = upload(local, kPart + 1000, "/Team/two.bin");
    EXPECT_TRUE(refused.startsWith("part ") && refused.endsWith(": HTTP 403"))
        << refused.toStdString();
    EXPECT_LT(progress->completedUnitCount(), 100);
    EXPECT_EQ(aborts(), 1);
    EXPECT_EQ(requestsNamed("POST", "/api/files/direct-multipart-complete").size(), 0);
    EXPECT_EQ(server.objectStore().value("multipart_uploads").toInt(), 0);

    server.clearRequests();
    server.injectFault({.path = "/objects/uploads/*", .method = "PUT", .status = 200});
    const QString noTag = upload(local, kPart + 1000, "/Team/two.bin");
    EXPECT_TRUE(noTag.startsWith("part ") && noTag.endsWith(": missing ETag"))
        << noTag.toStdString();
    EXPECT_EQ(aborts(), 1);
    EXPECT_FALSE(QFile::exists(server.filespaceDir("Team") + "/two.bin"));
}

TEST_F(MultipartUploadTest, AFileThatShrankIsAShortReadNamingTheBytes) {
    // The size was taken when the file had two full parts; it has lost most of the second.
    const QString local = localFile("shrunk", bytes(kPart + 1024, 8));
    const QString failure = upload(local, 2 * kPart, "/Team/shrunk.bin");
    EXPECT_EQ(failure, QStringLiteral("file read: part 2 short read 1024/%1").arg(kPart));
    EXPECT_EQ(aborts(), 1);
    EXPECT_EQ(upload(home.file("absent"), kPart, "/Team/absent.bin"),
              "file read: " + home.file("absent"));
}

TEST_F(MultipartUploadTest, AFileThatShrinksWhileItsPartIsSentIsAShortReadToo) {
    // Both parts pass the size check, then wait for their addresses while the file loses most
    // of the second part; that part's body, streamed from the file, ends early.
    const QString local = localFile("shrinking", bytes(kPart + 4096, 12));
    server.injectFault(
        {.path = "/api/files/direct-multipart-part-url", .delayMs = 1500, .count = 0});
    auto result = std::make_shared<std::optional<QString>>();
    progress = std::make_shared<FileProviderProgress>(100);
    [](auto task, auto result) -> QCoro::Task<> {
        try {
            co_await std::move(task);
            *result = QString();
        } catch (const std::exception& e) {
            *result = QString::fromUtf8(e.what());
        }
    }(MultipartUploader::upload(local, kPart + 4096, "/Team/shrinking.bin", progress,
                                extension->session(), extension->api()),
                               result);
    ASSERT_TRUE(waitUntil(
        [&] { return requestsNamed("POST", "/api/files/direct-multipart-part-url").size() == 2; }));
    ASSERT_TRUE(QFile(local).resize(kPart + 1000));
    ASSERT_TRUE(waitUntil([&] { return result->has_value(); }, std::chrono::seconds(30)));
    EXPECT_EQ(**result, "file read: part 2 short read 1000/4096");
    EXPECT_EQ(aborts(), 1);
    EXPECT_TRUE(requestsNamed("POST", "/api/files/direct-multipart-complete").isEmpty());
    EXPECT_LT(progress->completedUnitCount(), 100);
}

TEST_F(MultipartUploadTest, AFailedImportAfterACompletedUploadIsACompletionFailure) {
    server.injectFault({.path = "/api/files/direct-import",
                        .status = 500,
                        .body = "disk full",
                        .contentType = "text/plain"});
    const QString failure = upload(localFile("one", bytes(1000, 9)), 1000, "/Team/one.bin");
    EXPECT_EQ(failure, "multipart complete: HTTP 500: disk full");
    EXPECT_EQ(completedPartNumbers(), QList<int>({1}));
    EXPECT_EQ(aborts(), 1);
    EXPECT_LT(progress->completedUnitCount(), 100);
    server.injectFault({.path = "/api/files/direct-multipart-init",
                        .status = 503,
                        .body = "busy",
                        .contentType = "text/plain"});
    server.clearRequests();
    EXPECT_EQ(upload(localFile("init", "x"), 1, "/Team/x.bin"), "multipart init: HTTP 503: busy");
    EXPECT_EQ(aborts(), 0) << "nothing to abort before the upload exists";
}

TEST_F(MultipartUploadTest, TheAbortIsWaitedForAtMostFiveSeconds) {
    server.injectFault({.path = "/api/files/direct-import", .status = 500});
    server.injectFault({.path = "/api/files/direct-multipart-abort", .delayMs = 30'000});
    QElapsedTimer clock;
    clock.start();
    const QString failure = upload(localFile("held", bytes(1000, 10)), 1000, "/Team/held.bin");
    EXPECT_TRUE(failure.startsWith("multipart complete: HTTP 500")) << failure.toStdString();
    EXPECT_GE(clock.elapsed(), 4500);
    EXPECT_LT(clock.elapsed(), 15'000) << "the error comes back without the abort's answer";

    // With the server gone altogether the parts fail and the abort cannot even connect.
    server.injectFault({.path = "/objects/uploads/*", .method = "PUT", .delayMs = 30'000});
    auto result = std::make_shared<std::optional<QString>>();
    progress = std::make_shared<FileProviderProgress>(100);
    [](auto task, auto result) -> QCoro::Task<> {
        try {
            co_await std::move(task);
            *result = QString();
        } catch (const std::exception& e) {
            *result = QString::fromUtf8(e.what());
        }
    }(MultipartUploader::upload(localFile("away", bytes(1000, 11)), 1000, "/Team/away.bin",
                                progress, extension->session(), extension->api()),
                               result);
    ASSERT_TRUE(waitUntil([&] { return requestsNamed("PUT", "/objects/uploads/").size() == 1; }));
    server.stop();
    clock.restart();
    ASSERT_TRUE(waitUntil([&] { return result->has_value(); }, std::chrono::seconds(20)));
    EXPECT_FALSE((*result)->isEmpty());
    EXPECT_LT(clock.elapsed(), 10'000);
}

} // namespace
