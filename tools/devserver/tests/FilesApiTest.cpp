#include "tests/support/DevServer.h"
#include "tools/devserver/tests/EventStreamReader.h"
#include "tools/devserver/tests/FilesApiCalls.h"
#include "tools/devserver/tests/HttpProbe.h"
#include "tools/devserver/tests/RawHttp.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

class FilesApiTest : public testing::Test {
protected:
    QStringList names(const QString& path) {
        QStringList list;
        for (const QJsonValue& v : calls.list(path).object().value("entries").toArray())
            list.append(v.toObject().value("name").toString());
        return list;
    }
    QString onDisk(const QString& relative) { return server.dataDir() + "/filespaces/" + relative; }

    DevServer server;
    FilesApiCalls calls{server.port(), server.demoToken()};
};

TEST_F(FilesApiTest, TheRootListsTheFilespacesAndFoldersListTheirEntries) {
    const auto root = calls.list("/");
    ASSERT_EQ(root.status, 200);
    EXPECT_EQ(root.object().value("path").toString(), "/");
    const QJsonArray filespaces = root.object().value("entries").toArray();
    ASSERT_EQ(filespaces.size(), 2);
    for (const QJsonValue& v : filespaces)
        EXPECT_EQ(v.toObject().value("type").toString(), "directory");
    EXPECT_EQ(names("/"), QStringList({"Team", "Marketing"}));

    const QJsonArray team = calls.list("/Team").object().value("entries").toArray();
    ASSERT_EQ(team.size(), 2);
    const QJsonObject welcome = team.at(1).toObject();
    EXPECT_EQ(welcome.value("name").toString(), "Welcome.txt");
    EXPECT_EQ(welcome.value("type").toString(), "file");
    EXPECT_EQ(welcome.value("size").toInteger(), 31);
    EXPECT_EQ(welcome.value("mime_type").toString(), "text/plain");
    EXPECT_TRUE(welcome.value("modified_at").toString().endsWith('Z'));
    EXPECT_TRUE(team.at(0).toObject().value("mime_type").isNull()) << "folders carry no type";
}

TEST_F(FilesApiTest, BadPathsAndMissingItemsAreRefusedWithATextBody) {
    const auto missing = calls.list("/Team/nothing");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body, "Not found: /Team/nothing");
    EXPECT_TRUE(missing.header("Content-Type").startsWith("text/plain"));
    EXPECT_EQ(calls.list("/Nope").status, 404);
    EXPECT_EQ(calls.list("/Team/Welcome.txt").status, 400) << "a file is not a folder";
    for (const QString& bad :
         QStringList{"Team", "/Team/../Marketing", "/Team//Projects", "/Team/./x",
                     "/Team/Projects/", QStringLiteral("/Team/a") + QChar(0)}) {
        const auto answer = calls.list(bad);
        EXPECT_EQ(answer.status, 400) << bad.toStdString();
        EXPECT_TRUE(answer.body.startsWith("Invalid path")) << answer.body.toStdString();
    }
    auto c = httplib::Client("127.0.0.1", server.port());
    EXPECT_EQ(c.Get("/api/files", {{"Authorization", "Bearer " + server.demoToken().toStdString()}})
                  ->status,
              400);
    EXPECT_EQ(c.Get("/api/files?path=%2F")->status, 401) << "the files API needs the token";
}

TEST_F(FilesApiTest, FoldersAreMadeMovedAndDeletedWithConflictsRefused) {
    ASSERT_EQ(calls.post("mkdir", {{"path", "/Team/Docs"}}).status, 201);
    EXPECT_TRUE(QFileInfo(onDisk("Team/Docs")).isDir());
    EXPECT_EQ(calls.post("mkdir", {{"path", "/Team/Docs"}}).status, 409);
    EXPECT_EQ(calls.post("mkdir", {{"path", "/Team/No/Deeper"}}).status, 404);
    EXPECT_EQ(calls.post("mkdir", {{"path", "/NewFilespace"}}).status, 403);
    EXPECT_EQ(calls.post("mkdir", {{"path", 7}}).status, 400);

    ASSERT_EQ(calls.uploadFile("/Team/Docs/a.txt", "alpha").status, 200);
    EXPECT_EQ(calls.post("move", {{"src", "/Team/Docs"}, {"dst", "/Team/Docs/Inner"}}).status, 400)
        << "a folder cannot go into itself";
    EXPECT_EQ(
        calls.post("move", {{"src", "/Team/Docs/a.txt"}, {"dst", "/Team/Welcome.txt"}}).status,
        409);
    EXPECT_EQ(calls.post("move", {{"src", "/Team/gone"}, {"dst", "/Team/x"}}).status, 404);
    EXPECT_EQ(calls.post("move", {{"src", "/Team"}, {"dst", "/Team2"}}).status, 403);
    const auto moved = calls.post("move", {{"src", "/Team/Docs"}, {"dst", "/Marketing/Docs"}});
    ASSERT_EQ(moved.status, 200);
    EXPECT_EQ(moved.object().value("dst").toString(), "/Marketing/Docs");
    EXPECT_EQ(names("/Marketing/Docs"), QStringList({"a.txt"}));

    EXPECT_EQ(calls.remove("/Marketing/Docs").status, 200) << "a folder goes with its content";
    EXPECT_FALSE(QFileInfo::exists(onDisk("Marketing/Docs")));
    EXPECT_EQ(calls.remove("/Marketing/Docs").status, 404);
    EXPECT_EQ(calls.remove("/Marketing").status, 403);
    EXPECT_EQ(calls.remove("/").status, 403);
}

TEST_F(FilesApiTest, LinksInsideAFilespaceAreNeverFollowed) {
    QDir().mkpath(server.dataDir() + "/outside");
    QFile::link(server.dataDir() + "/outside", onDisk("Team/escape"));
    EXPECT_FALSE(names("/Team").contains("escape"));
    EXPECT_EQ(calls.list("/Team/escape").status, 404);
    EXPECT_EQ(calls.post("mkdir", {{"path", "/Team/escape/x"}}).status, 404);
    EXPECT_FALSE(QFileInfo::exists(server.dataDir() + "/outside/x"));
}

TEST_F(FilesApiTest, EveryChangeThroughTheFilesApiEmitsAFileChangeEvent) {
    HttpProbe probe(server.baseURL());
    probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword);
    EventStreamReader events(probe);
    ASSERT_TRUE(events.waitForHeaders());

    calls.post("mkdir", {{"path", "/Team/Made"}});
    ASSERT_TRUE(events.waitForText("event: file-change\ndata: {\"path\":\"/Team/Made\"}"));
    calls.post("move", {{"src", "/Team/Made"}, {"dst", "/Team/Moved"}});
    ASSERT_TRUE(events.waitForText("{\"path\":\"/Team/Moved\"}"));
    calls.uploadFile("/Team/Moved/f.bin", "x");
    ASSERT_TRUE(events.waitForText("{\"path\":\"/Team/Moved/f.bin\"}"));
    calls.post("presign-notify", {{"path", "/Team/Welcome.txt"}, {"size", "31"}});
    ASSERT_TRUE(events.waitForText("{\"path\":\"/Team/Welcome.txt\"}"));
    calls.remove("/Team/Moved");
    ASSERT_TRUE(events.waitForText("data: {\"path\":\"/Team/Moved\"}\n\nevent: file-change\n"
                                   "data: {\"path\":\"/Team/Moved/f.bin\"}\n\nevent: file-change\n"
                                   "data: {\"path\":\"/Team/Welcome.txt\"}\n\nevent: file-change\n"
                                   "data: {\"path\":\"/Team/Moved\"}"));
}

TEST_F(FilesApiTest, NotifyTakesTheSizeAsDecimalText) {
    EXPECT_EQ(calls.post("presign-notify", {{"path", "/Team/Welcome.txt"}, {"size", "31"}}).status,
              200);
    EXPECT_EQ(calls.post("presign-notify", {{"path", "/Team/Welcome.txt"}, {"size", 31}}).status,
              400);
    EXPECT_EQ(calls.post("presign-notify", {{"path", "/Team/Welcome.txt"}, {"size", "-1"}}).status,
              400);
    EXPECT_EQ(calls.post("presign-notify", {{"path", "/Team/none"}, {"size", "1"}}).status, 404);
}

TEST_F(FilesApiTest, BodiesThatAreNotObjectsAndOversizedBodiesAreRefused) {
    auto c = httplib::Client("127.0.0.1", server.port());
    const httplib::Headers auth{{"Authorization", "Bearer " + server.demoToken().toStdString()}};
    const auto array = c.Post("/api/files/mkdir", auth, "[]", "application/json");
    EXPECT_EQ(array->status, 400);
    EXPECT_EQ(array->body, "The body must be a JSON object");

    // Only the announced length matters: the server refuses before reading any of it.
    const QByteArray announced = "POST /api/files/mkdir HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                 "Authorization: Bearer " +
                                 server.demoToken().toUtf8() +
                                 "\r\nContent-Length: 104857600\r\n\r\n{";
    EXPECT_EQ(RawHttp::statusOf(RawHttp::exchange(server.port(), announced)), 413);
}

TEST_F(FilesApiTest, TheJournalKeepsTheTargetsAsSent) {
    server.clearRequests();
    calls.list("/Team Docs/a&b=c+d#e");
    const QJsonArray seen = server.requests();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.at(0).toObject().value("path").toString(), "/api/files");
    EXPECT_EQ(seen.at(0).toObject().value("target").toString(),
              "/api/files?path=%2FTeam%20Docs%2Fa%26b%3Dc%2Bd%23e");
}

} // namespace
