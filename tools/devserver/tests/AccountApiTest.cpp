#include "tests/support/DevServer.h"
#include "tools/devserver/tests/HttpProbe.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QStringList kAuthenticatedEndpoints = {"/api/auth/me", "/api/filespaces",
                                             "/api/provision/config", "/api/files/storage"};

void expectStringKeys(const QJsonObject& object, const QStringList& keys) {
    for (const QString& key : keys)
        EXPECT_TRUE(object.value(key).isString()) << key.toStdString();
}

class AccountApiTest : public testing::Test {
protected:
    DevServer server;
    HttpProbe probe{server.baseURL()};
};

TEST_F(AccountApiTest, SignInWithTheDemoAccountReturnsATokenAndTheUser) {
    const HttpAnswer answer = probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword);

    ASSERT_EQ(answer.status, 200);
    const QJsonObject body = answer.object();
    EXPECT_GE(body.value("token").toString().size(), 32);
    const QJsonObject user = body.value("user").toObject();
    expectStringKeys(user, {"id", "email", "name", "role"});
    EXPECT_EQ(user.value("email").toString(), DevServer::kDemoEmail);
    EXPECT_EQ(user.value("name").toString(), "Demo User");
    EXPECT_EQ(user.value("role").toString(), "admin");
}

TEST_F(AccountApiTest, WrongCredentialsAndBadBodiesAreRefused) {
    const HttpAnswer wrongPassword = probe.login(DevServer::kDemoEmail, "not-the-password");
    EXPECT_EQ(wrongPassword.status, 401);
    EXPECT_EQ(wrongPassword.object().value("error").toString(), "Invalid email or password");

    const HttpAnswer unknownUser = probe.login("nobody@kelvane.test", DevServer::kDemoPassword);
    EXPECT_EQ(unknownUser.status, 401);

    for (const QByteArray& body :
         {QByteArray("not json"), QByteArray("[]"), QByteArray(R"({"email": "demo@kelvane.test"})"),
          QByteArray(R"({"email": 1, "password": 2})")}) {
        const HttpAnswer answer = probe.post("/api/auth/login", body);
        EXPECT_EQ(answer.status, 400) << body.toStdString();
        EXPECT_TRUE(answer.object().value("error").isString()) << body.toStdString();
    }
}

TEST_F(AccountApiTest, EveryAccountEndpointRequiresAKnownToken) {
    for (const QString& endpoint : kAuthenticatedEndpoints) {
        const HttpAnswer missing = probe.get(endpoint);
        EXPECT_EQ(missing.status, 401) << endpoint.toStdString();
        EXPECT_EQ(missing.object().value("error").toString(), "Unauthorized");
    }
    probe.setToken(QString(64, 'a'));
    for (const QString& endpoint : kAuthenticatedEndpoints)
        EXPECT_EQ(probe.get(endpoint).status, 401) << endpoint.toStdString();

    probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword);
    for (const QString& endpoint : kAuthenticatedEndpoints)
        EXPECT_EQ(probe.get(endpoint).status, 200) << endpoint.toStdString();
}

TEST_F(AccountApiTest, RecordsCarryTheKeysTheClientDecodes) {
    probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword);

    expectStringKeys(probe.get("/api/auth/me").object(), {"id", "email", "name", "role"});

    const QJsonArray filespaces = probe.get("/api/filespaces").array();
    ASSERT_EQ(filespaces.size(), 2);
    QStringList mountNames;
    for (const QJsonValue& value : filespaces) {
        const QJsonObject filespace = value.toObject();
        expectStringKeys(filespace,
                         {"id", "name", "metadata_public_url", "volume_name", "mount_name"});
        const QString mountName = filespace.value("mount_name").toString();
        mountNames << mountName;
        EXPECT_EQ(filespace.value("metadata_public_url").toString(),
                  "file://" + server.filespaceDir(mountName));
        EXPECT_EQ(filespace.value("volume_name").toString(), mountName.toLower());
        EXPECT_TRUE(QFile::exists(server.filespaceDir(mountName)));
    }
    EXPECT_EQ(mountNames, QStringList({"Team", "Marketing"}));
    EXPECT_TRUE(QFile::exists(server.filespaceDir("Team") + "/Welcome.txt"));
}

TEST_F(AccountApiTest, MountOptionsAreEmptyUntilTheAdminSetsThem) {
    probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword);
    const QJsonObject initial = probe.get("/api/provision/config").object();
    EXPECT_TRUE(initial.value("metadata_public_url").isString());
    ASSERT_TRUE(initial.value("mount_options").isObject());
    EXPECT_TRUE(initial.value("mount_options").toObject().isEmpty());

    server.setMountOptions({{"cache-size", "2048"}, {"buffer-size", "600"}});

    const QJsonObject options =
        probe.get("/api/provision/config").object().value("mount_options").toObject();
    EXPECT_EQ(options, (QJsonObject{{"cache-size", "2048"}, {"buffer-size", "600"}}));
}

TEST_F(AccountApiTest, StorageStatisticsCountTheFilesOnDisk) {
    probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword);
    const QJsonObject before = probe.get("/api/files/storage").object();
    for (const char* key : {"used_bytes", "file_count", "dir_count"})
        ASSERT_TRUE(before.value(key).isDouble()) << key;

    server.writeFile("Team", "Reports/2024/q1.txt", QByteArray(1000, 'x'));
    QFile direct(server.filespaceDir("Marketing") + "/direct.bin");
    ASSERT_TRUE(direct.open(QIODevice::WriteOnly));
    direct.write(QByteArray(24, '\0'));
    direct.close();

    const QJsonObject after = probe.get("/api/files/storage").object();
    EXPECT_EQ(after.value("used_bytes").toInteger() - before.value("used_bytes").toInteger(), 1024);
    EXPECT_EQ(after.value("file_count").toInteger() - before.value("file_count").toInteger(), 2);
    EXPECT_EQ(after.value("dir_count").toInteger() - before.value("dir_count").toInteger(), 2);
}

TEST_F(AccountApiTest, ARestartedServerKeepsItsTokens) {
    probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword);
    const quint16 port = server.port();

    server.stop();
    EXPECT_TRUE(probe.get("/api/auth/me").isTransportError());
    server.start();

    EXPECT_EQ(server.port(), port);
    const HttpAnswer me = probe.get("/api/auth/me");
    EXPECT_EQ(me.status, 200);
    EXPECT_EQ(me.object().value("email").toString(), DevServer::kDemoEmail);
    EXPECT_EQ(probe.get("/api/filespaces").array().size(), 2);
}

TEST(DevServerWithoutDemo, StartsWithAnEmptyWorkspace) {
    DevServer server(DevServer::Options{.demo = false});
    HttpProbe probe(server.baseURL());

    EXPECT_EQ(probe.login(DevServer::kDemoEmail, DevServer::kDemoPassword).status, 401);
    EXPECT_FALSE(QDir(server.filespaceDir("Team")).exists());
}

} // namespace
