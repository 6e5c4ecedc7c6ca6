#include "tools/devserver/ServerOptions.h"
#include "tools/devserver/UpdateRoutes.h"

#include "tests/support/DevServer.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <httplib.h>

namespace {

void touch(const QString& path, const QByteArray& content = "package") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QJsonObject json(const std::string& body) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

} // namespace

TEST(UpdateFeed, OptionsNameTheFolderAndTheCertificateWithItsKey) {
    QString error;
    const auto options = ServerOptions::parse(
        {"--updates", "/srv/updates", "--tls-cert", "/c.pem", "--tls-key", "/k.pem"}, &error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_EQ(options->updatesDir, "/srv/updates");
    EXPECT_EQ(options->tlsCertificate, "/c.pem");
    EXPECT_EQ(options->tlsKey, "/k.pem");
    EXPECT_FALSE(ServerOptions::parse({"--tls-cert", "/c.pem"}, &error));
    EXPECT_EQ(error, "--tls-cert and --tls-key go together");
}

TEST(UpdateFeed, TheNewestPackageIsTheHighestBuild) {
    QTemporaryDir dir;
    EXPECT_FALSE(UpdateRoutes::newest(dir.path()));
    touch(dir.filePath("Kelvane-1.0.0-9-linux-amd64.tar.gz"));
    touch(dir.filePath("Kelvane-0.9.0-10-linux-amd64.tar.gz"));
    touch(dir.filePath("Kelvane-2.0.0-linux-amd64.tar.gz")); // no build: not a package name
    touch(dir.filePath("Kelvane-3.0.0-11-linux-arm64.tar.gz"));
    const auto newest = UpdateRoutes::newest(dir.path());
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->name, "Kelvane-0.9.0-10-linux-amd64.tar.gz");
    EXPECT_EQ(newest->version, "0.9.0");
    EXPECT_EQ(newest->build, "10");
}

TEST(UpdateFeed, ServesFeedAndPackagesOverHttpsWithUrlsOnTheHostAsked) {
    TestCertificates certificates;
    QTemporaryDir updates;
    DevServer server(
        DevServer::Options{true,
                           {},
                           {"--updates", updates.path(), "--tls-cert", certificates.certificate(),
                            "--tls-key", certificates.key()}});
    ASSERT_GT(server.tlsPort(), 0);
    httplib::Client plain("127.0.0.1", server.port());
    EXPECT_EQ(plain.Get("/downloads/latest.json")->status, 404);

    touch(updates.filePath("Kelvane-0.2.0-2-linux-amd64.tar.gz"), "the package");
    touch(updates.filePath("Kelvane-0.2.0-2-linux-amd64.tar.gz.minisig"), "the signature");
    const QString packageURL =
        QStringLiteral("https://127.0.0.1:%1/downloads/Kelvane-0.2.0-2-linux-amd64.tar.gz")
            .arg(server.tlsPort());
    const auto viaPlain = plain.Get("/downloads/latest.json");
    ASSERT_EQ(viaPlain->status, 200);
    const QJsonObject feed = json(viaPlain->body);
    EXPECT_EQ(feed.value("version"), "0.2.0");
    EXPECT_EQ(feed.value("build"), "2");
    EXPECT_EQ(feed.value("url"), packageURL);
    EXPECT_TRUE(feed.value("published").toString().endsWith('Z'));

    httplib::SSLClient tls("127.0.0.1", server.tlsPort());
    tls.set_ca_cert_path(certificates.authority().toStdString().c_str());
    tls.enable_server_certificate_verification(true);
    const auto viaTls = tls.Get("/downloads/latest.json");
    ASSERT_TRUE(viaTls) << httplib::to_string(viaTls.error());
    EXPECT_EQ(json(viaTls->body).value("url"), packageURL);
    EXPECT_EQ(tls.Get("/downloads/Kelvane-0.2.0-2-linux-amd64.tar.gz")->body, "the package");
    EXPECT_EQ(tls.Get("/downloads/Kelvane-0.2.0-2-linux-amd64.tar.gz.minisig")->body,
              "the signature");
    EXPECT_EQ(tls.Get("/downloads/Kelvane-0.2.0-3-linux-amd64.tar.gz")->status, 404);

    // The host the client named is the host of the url.
    httplib::Headers host{{"Host", "localhost:1234"}};
    EXPECT_TRUE(json(plain.Get("/downloads/latest.json", host)->body)
                    .value("url")
                    .toString()
                    .startsWith(QStringLiteral("https://localhost:%1/").arg(server.tlsPort())));

    // A feed put there by hand is served as it stands.
    touch(updates.filePath("latest.json"), R"({"build": "99"})");
    EXPECT_EQ(plain.Get("/downloads/latest.json")->body, R"({"build": "99"})");

    // Both listeners end on SIGTERM.
    ::kill(pid_t(server.processId()), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return !server.isRunning(); }, std::chrono::seconds(5)));
}

TEST(UpdateFeed, WithoutTlsTheUrlIsPlainHttpOnTheSamePort) {
    QTemporaryDir updates;
    touch(updates.filePath("Kelvane-0.2.0-2-linux-amd64.tar.gz"));
    DevServer server(DevServer::Options{true, {}, {"--updates", updates.path()}});
    EXPECT_EQ(server.tlsPort(), 0);
    httplib::Client plain("127.0.0.1", server.port());
    EXPECT_EQ(json(plain.Get("/downloads/latest.json")->body).value("url"),
              server.baseURL() + "/downloads/Kelvane-0.2.0-2-linux-amd64.tar.gz");
}
