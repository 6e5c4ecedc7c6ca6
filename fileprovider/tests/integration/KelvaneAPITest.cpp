#include "fileprovider/tests/support/ExtensionFixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>

namespace {

using Kind = KelvaneAPIError::Kind;

QStringList namesOf(const QList<Entry>& entries) {
    QStringList names;
    for (const Entry& e : entries)
        names.append(e.name);
    return names;
}

QByteArray listingBody(const QString& path, const QJsonArray& entries) {
    return QJsonDocument(QJsonObject{{"path", path}, {"entries", entries}}).toJson();
}

QJsonObject entryJson(const QString& name, const QJsonValue& size = 1) {
    return {{"name", name},
            {"type", "file"},
            {"size", size},
            {"modified_at", "2024-05-01T10:20:30.5Z"}};
}

class KelvaneAPITest : public ExtensionFixture {};

TEST_F(KelvaneAPITest, ListsTheWorkspaceRootAndFolders) {
    server.clearRequests();
    EXPECT_EQ(namesOf(run(api.list("/"))), QStringList({"Team", "Marketing"}));
    EXPECT_EQ(server.requests().at(0).toObject().value("target").toString(), "/api/files?path=%2F");
    const QList<Entry> team = run(api.list("/Team"));
    ASSERT_EQ(namesOf(team), QStringList({"Projects", "Welcome.txt"}));
    EXPECT_TRUE(team[0].isDirectory());
    EXPECT_EQ(team[1].size, 31);
    EXPECT_EQ(team[1].mimeType, "text/plain");
    EXPECT_LE(std::abs(team[1].modifiedAt.secsTo(QDateTime::currentDateTimeUtc())), 60);
}

TEST_F(KelvaneAPITest, APathWithQueryDelimitersArrivesWhole) {
    const QString folder = QStringLiteral("a&b=c+d#e%f?g h;ü");
    server.writeFile("Team", folder + "/x.txt", "x");
    EXPECT_EQ(namesOf(run(api.list("/Team/" + folder))), QStringList({"x.txt"}));
    run(api.remove("/Team/" + folder + "/x.txt"));
    EXPECT_TRUE(run(api.list("/Team/" + folder)).isEmpty());
}

TEST_F(KelvaneAPITest, OnlyStatusesOf400AndAboveFailAndTheBodyIsKeptVerbatim) {
    answerNextListingWith(listingBody("/Team", {entryJson("kept.txt")}), 399);
    EXPECT_EQ(namesOf(run(api.list("/Team"))), QStringList({"kept.txt"}));

    answerNextListingWith("bad request", 400);
    const auto refused = apiErrorOf(errorOf(api.list("/Team")));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind(), Kind::http);
    EXPECT_EQ(refused->status(), 400);
    EXPECT_EQ(refused->description(), "HTTP 400: bad request");

    const QByteArray body = "{\"error\": \"boom\"}\n  second line";
    answerNextListingWith(body, 500);
    EXPECT_EQ(failureOf(api.list("/Team")), "HTTP 500: " + QString::fromUtf8(body));

    EXPECT_EQ(failureOf(api.list("/Team/missing")), "HTTP 404: Not found: /Team/missing");
    EXPECT_TRUE(failureOf(api.remove("/Team/missing")).contains("404"));
}

TEST_F(KelvaneAPITest, AnswersOfAnotherShapeAreDecodeErrors) {
    const auto decodeError = [&](auto task) {
        const auto error = apiErrorOf(errorOf(std::move(task)));
        return error && error->kind() == Kind::decode &&
               error->description().startsWith("Decode error: ");
    };
    answerNextListingWith("[]");
    EXPECT_TRUE(decodeError(api.list("/Team")));
    QJsonObject noSize = entryJson("a");
    noSize.remove("size");
    answerNextListingWith(listingBody("/Team", {entryJson("fine"), noSize}));
    EXPECT_TRUE(decodeError(api.list("/Team"))) << "one bad entry fails the listing";
    QJsonObject numericDate = entryJson("a");
    numericDate.insert("modified_at", 1714558830);
    answerNextListingWith(listingBody("/Team", {numericDate}));
    EXPECT_TRUE(decodeError(api.list("/Team")));

    server.injectFault({.path = "/api/files/presign-download",
                        .status = 200,
                        .body = R"({"method":"GET","path":"/Team/Welcome.txt"})"});
    EXPECT_TRUE(decodeError(api.presignDownload("/Team/Welcome.txt")));
    server.injectFault(
        {.path = "/api/files/direct-multipart-part-url", .status = 200, .body = R"({"url":7})"});
    EXPECT_TRUE(decodeError(api.directMultipartPartURL("uploads/x", "u", 1)));

    server.injectFault({.path = "/api/files/mkdir", .status = 201, .body = "{}"});
    EXPECT_EQ(failureOf(api.mkdir("/Team/A")), "");
    server.injectFault({.path = "/api/files/mkdir", .status = 204, .body = ""});
    EXPECT_TRUE(decodeError(api.mkdir("/Team/B")));
    server.injectFault({.path = "/api/files/move", .status = 200, .body = R"({"ok":true})"});
    EXPECT_TRUE(decodeError(api.move("/Team/Welcome.txt", "/Team/W.txt")));
    server.injectFault({.path = "/api/files/direct-import", .status = 204, .body = ""});
    EXPECT_EQ(failureOf(api.directImport("uploads/any", "/Team/x")), "")
        << "the import's answer is not read";
}

TEST_F(KelvaneAPITest, WithoutAddressAndTokenNothingIsSent) {
    const QString missing = "API URL or auth token missing";
    for (const auto& [apiURL, token] :
         std::vector<std::pair<std::optional<QString>, std::optional<QString>>>{
             {server.apiURL(), std::nullopt},
             {std::nullopt, "token"},
             {QStringLiteral("not a url"), "token"}}) {
        writeConfig(apiURL, token);
        server.clearRequests();
        EXPECT_EQ(failureOf(api.list("/")), missing);
        EXPECT_EQ(failureOf(api.remove("/Team/Welcome.txt")), missing);
        EXPECT_EQ(failureOf(api.presignDownload("/Team/Welcome.txt")), missing);
        EXPECT_EQ(failureOf(api.presignUpload("/Team/Welcome.txt")), missing);
        EXPECT_EQ(failureOf(api.directPresignUpload("/Team/n")), missing);
        EXPECT_EQ(failureOf(api.directMultipartInit("/Team/n")), missing);
        EXPECT_EQ(failureOf(api.directMultipartPartURL("uploads/k", "u", 1)), missing);
        EXPECT_EQ(failureOf(api.directMultipartComplete("uploads/k", "u", {})), missing);
        EXPECT_EQ(failureOf(api.directImport("uploads/k", "/Team/n")), missing);
        EXPECT_EQ(failureOf(api.mkdir("/Team/n")), missing);
        EXPECT_EQ(failureOf(api.move("/Team/a", "/Team/b")), missing);
        EXPECT_EQ(failureOf(api.notify("/Team/Welcome.txt", 1)), "");
        EXPECT_EQ(failureOf(api.directMultipartAbort("uploads/k", "u")), "");
        EXPECT_EQ(server.requests().size(), 0);
    }
    QFile::remove(FileProviderConfig::configFile());
    EXPECT_EQ(failureOf(api.list("/")), missing);

    signIn(); // the next request reads the new configuration; nothing is restarted
    EXPECT_EQ(run(api.list("/")).size(), 2);
}

TEST_F(KelvaneAPITest, NetworkFailuresPassThroughAndNotifyAndAbortSwallowThem) {
    // Qt sends a request once more when its connection closes unanswered, POSTs included.
    server.injectFault({.path = "/api/files/mkdir", .cut = true, .count = 0});
    const auto cutError = errorOf(api.mkdir("/Team/Cut"));
    const auto cut = transportErrorOf(cutError);
    ASSERT_TRUE(cut) << textOf(cutError).toStdString();
    EXPECT_EQ(cut->code(), QNetworkReply::RemoteHostClosedError);
    EXPECT_FALSE(apiErrorOf(errorOf(api.mkdir("/Team/Cut"))));
    server.clearFaults();

    server.injectFault({.path = "/api/files/presign-notify", .status = 500, .count = 1});
    EXPECT_EQ(failureOf(api.notify("/Team/Welcome.txt", 31)), "");
    server.injectFault({.path = "/api/files/presign-notify", .status = 200, .body = "[1]"});
    EXPECT_EQ(failureOf(api.notify("/Team/Welcome.txt", 31)), "");

    server.stop();
    const auto refused = transportErrorOf(errorOf(api.list("/")));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code(), QNetworkReply::ConnectionRefusedError);
    EXPECT_EQ(failureOf(api.notify("/Team/Welcome.txt", 31)), "");
    EXPECT_EQ(failureOf(api.directMultipartAbort("uploads/k", "u")), "");
}

TEST_F(KelvaneAPITest, BodiesCarryTheProtocolsKeysAndTypes) {
    run(api.notify("/Team/Welcome.txt", 31));
    const QJsonObject notify = lastAnsweredRequestTo("/api/files/presign-notify");
    EXPECT_EQ(notify.value("status").toInt(), 200) << "the server takes only text sizes";
    EXPECT_EQ(QJsonDocument::fromJson(notify.value("body").toString().toUtf8()).object(),
              (QJsonObject{{"path", "/Team/Welcome.txt"}, {"size", "31"}}));

    failureOf(api.directMultipartComplete("uploads/0123456789abcdef0123456789abcdef", "u",
                                          {{2, "\"b\""}, {1, "\"a\""}, {3, "c"}}));
    const QJsonObject complete = lastAnsweredRequestTo("/api/files/direct-multipart-complete");
    const QJsonArray parts = QJsonDocument::fromJson(complete.value("body").toString().toUtf8())
                                 .object()
                                 .value("parts")
                                 .toArray();
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts.at(0).toObject(), (QJsonObject{{"PartNumber", 2}, {"Etag", "\"b\""}}));
    EXPECT_EQ(parts.at(2).toObject(), (QJsonObject{{"PartNumber", 3}, {"Etag", "c"}}));

    failureOf(api.directMultipartPartURL("uploads/k", "u", 7));
    const QJsonObject partURL = lastAnsweredRequestTo("/api/files/direct-multipart-part-url");
    EXPECT_TRUE(partURL.value("body").toString().contains("\"partNumber\":7"));
    EXPECT_EQ(partURL.value("Content-Type").toString(), "application/json");
}

TEST_F(KelvaneAPITest, AFileTravelsThroughDirectAndMultipartUploads) {
    const DirectPresignResponse direct = run(api.directPresignUpload("/Team/Notes.txt"));
    const auto [status, etag] = put(direct.url, "hello");
    EXPECT_EQ(status, 200);
    EXPECT_EQ(etag, "\"5d41402abc4b2a76b9719d911017c592\"");
    run(api.directImport(direct.key, "/Team/Notes.txt"));
    EXPECT_TRUE(namesOf(run(api.list("/Team"))).contains("Notes.txt"));
    EXPECT_EQ(run(api.presignDownload("/Team/Notes.txt")).method, "GET");

    const DirectMultipartInitResponse upload = run(api.directMultipartInit("/Team/Big.bin"));
    const qint64 mib = 1024 * 1024;
    const QList<QByteArray> parts{QByteArray(5 * mib, 'a'), QByteArray(5 * mib, 'b'), "c"};
    QList<PartResult> results;
    for (int n = 1; n <= 3; ++n) {
        const QString url = run(api.directMultipartPartURL(upload.key, upload.s3UploadId, n));
        const auto [partStatus, partEtag] = put(url, parts[n - 1]);
        ASSERT_EQ(partStatus, 200);
        results.append({n, QString::fromLatin1(partEtag)});
    }
    run(api.directMultipartComplete(upload.key, upload.s3UploadId, results));
    run(api.directImport(upload.key, "/Team/Big.bin"));
    QFile big(server.filespaceDir("Team") + "/Big.bin");
    ASSERT_TRUE(big.open(QIODevice::ReadOnly));
    EXPECT_TRUE(big.readAll() == parts[0] + parts[1] + parts[2]);

    const QString refused =
        failureOf(api.directMultipartComplete(upload.key, upload.s3UploadId, results));
    EXPECT_TRUE(refused.startsWith("HTTP 404: NoSuchUpload")) << refused.toStdString();
    EXPECT_EQ(failureOf(api.directMultipartAbort(upload.key, upload.s3UploadId)), "");

    run(api.mkdir("/Team/Drafts"));
    run(api.move("/Team/Notes.txt", "/Team/Drafts/Notes.txt"));
    EXPECT_EQ(namesOf(run(api.list("/Team/Drafts"))), QStringList({"Notes.txt"}));
    EXPECT_EQ(failureOf(api.mkdir("/Team/Drafts")), "HTTP 409: Already exists: /Team/Drafts");
}

TEST_F(KelvaneAPITest, UnsafeAndRepeatedNamesFromTheServerAreLeftOut) {
    answerNextListingWith(
        listingBody("/Team", {entryJson("ok.txt"), entryJson(".."), entryJson("a/b"),
                              entryJson("."), entryJson(""), entryJson("ok.txt", 99),
                              entryJson(QStringLiteral("n") + QChar(0))}));
    const QList<Entry> entries = run(api.list("/Team"));
    ASSERT_EQ(namesOf(entries), QStringList({"ok.txt"}));
    EXPECT_EQ(entries[0].size, 1) << "the first of a repeated name stays";
}

} // namespace
