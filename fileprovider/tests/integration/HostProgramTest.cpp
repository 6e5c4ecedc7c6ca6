#include "fileprovider/tests/support/ExtensionFixture.h"
#include "fileprovider/tests/support/Programs.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/Identifiers.h"
#include "shared/InvalidationToken.h"

#include <QJsonDocument>

namespace {

using Programs::fileProvider;

class HostProgramTest : public ExtensionFixture {
protected:
    void SetUp() override {
        ExtensionFixture::SetUp();
        registry.addDomain({Identifiers::kFileProviderDomain, "Kelvane"});
    }
    // The host's own error line; the extension's log lines share standard error.
    static QString errorLine(const Programs::Run& r) {
        for (const QString& line : r.err.split('\n'))
            if (line.startsWith("error ") || line.startsWith("kelvane-fileprovider: "))
                return line;
        return {};
    }
    static QJsonValue json(const Programs::Run& r) {
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8());
        return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    }

    FileProviderDomainRegistry registry;
};

TEST_F(HostProgramTest, OnlyARegisteredDomainIsServed) {
    registry.removeDomain({Identifiers::kFileProviderDomain, "Kelvane"});
    server.clearRequests();
    const auto r = fileProvider({"ls", "/"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(errorLine(r).startsWith(
        "kelvane-fileprovider: no file-provider domain \"com.30814qv.kelvane.domain\" is "
        "registered"))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(server.requests().size(), 0);
    EXPECT_EQ(fileProvider({"--domain", "other", "ls", "/"}).exitCode, 3);
}

TEST_F(HostProgramTest, ListsAndLooksUpItemsInTextAndJson) {
    const auto root = fileProvider({"ls", "/"});
    ASSERT_EQ(root.exitCode, 0) << root.err.toStdString();
    const QStringList lines = root.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("folder\t-\t"));
    EXPECT_TRUE(lines[0].endsWith("\tTeam"));
    EXPECT_TRUE(lines[1].endsWith("\tMarketing"));

    const auto team = fileProvider({"ls", "/Team", "--json"});
    const QJsonArray items = json(team).toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1].toObject().value("itemIdentifier").toString(), "/Team/Welcome.txt");
    EXPECT_EQ(items[1].toObject().value("documentSize").toInt(), 31);
    EXPECT_EQ(items[1].toObject().value("capabilities").toInt(), 47);

    const auto stat = fileProvider({"stat", "/Team/Welcome.txt"});
    EXPECT_EQ(stat.exitCode, 0);
    EXPECT_TRUE(stat.out.startsWith("identifier: /Team/Welcome.txt\nparent: /Team\n"))
        << stat.out.toStdString();
    EXPECT_TRUE(stat.out.contains("\ncontentType: text/plain\n"));
    EXPECT_EQ(json(fileProvider({"--json", "stat", "/"})).toObject().value("filename"), "Kelvane");
}

TEST_F(HostProgramTest, ErrorsAreShownAsTheSystemWouldReceiveThem) {
    const auto missing = fileProvider({"stat", "/Team/none.txt"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(errorLine(missing), "error NSFileProviderErrorDomain -1005: The operation couldn't "
                                  "be completed. (NSFileProviderErrorDomain error -1005.)");
    const QJsonObject error = json(fileProvider({"stat", "--json", "/Team/none.txt"}))
                                  .toObject()
                                  .value("error")
                                  .toObject();
    EXPECT_EQ(error.value("code").toInt(), -1005);
    EXPECT_EQ(error.value("domain").toString(), "NSFileProviderErrorDomain");

    EXPECT_EQ(errorLine(fileProvider({"ls", "/Team/gone"})),
              "error KelvaneAPI.APIError 0: HTTP 404: Not found: /Team/gone");
    server.injectFault({.path = "/api/files", .cut = true, .count = 0});
    EXPECT_TRUE(errorLine(fileProvider({"ls", "/Team"})).startsWith("error QNetworkReply 2: "));
    server.clearFaults();

    writeConfig(server.apiURL(), std::nullopt);
    const auto signedOut = fileProvider({"ls", "/"});
    EXPECT_EQ(signedOut.exitCode, 1);
    EXPECT_EQ(errorLine(signedOut), "error KelvaneAPI.APIError 2: API URL or auth token missing");
}

TEST_F(HostProgramTest, ChangesContinueFromTheAnchorKeptByEarlierRuns) {
    ASSERT_EQ(fileProvider({"ls", "/Team"}).exitCode, 0);
    server.writeFile("Team", "New.txt", "new");
    EXPECT_EQ(fileProvider({"changes", "/Team"}).out, "") << "the token has not moved";

    InvalidationToken::write(1'800'000'000'000);
    const auto changed = fileProvider({"changes", "/Team"});
    EXPECT_EQ(changed.exitCode, 0);
    const QStringList lines = changed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << changed.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("updated\tfile\t3\t"));
    EXPECT_TRUE(lines[0].endsWith("\t/Team/New.txt"));
    EXPECT_EQ(fileProvider({"changes", "/Team"}).out, "");

    registry.managerForDomain({Identifiers::kFileProviderDomain, {}})
        ->signalEnumerator("NSFileProviderRootContainerItemIdentifier");
    QFile::remove(server.filespaceDir("Team") + "/New.txt");
    InvalidationToken::write(1'800'000'000'001);
    const QJsonObject report = json(fileProvider({"changes", "--json", "/Team"})).toObject();
    EXPECT_TRUE(report.value("signalled").toBool());
    EXPECT_EQ(report.value("previousAnchor").toString(), "1800000000000");
    EXPECT_EQ(report.value("anchor").toString(), "1800000000001");
    EXPECT_EQ(report.value("deleted").toArray(), QJsonArray({"/Team/New.txt"}));
    EXPECT_FALSE(
        json(fileProvider({"changes", "--json", "/Team"})).toObject().value("signalled").toBool());
}

TEST_F(HostProgramTest, TheFrameworksContainersAndBadArgumentsAreHandled) {
    const auto workingSet = fileProvider({"ls", "NSFileProviderWorkingSetContainerItemIdentifier"});
    EXPECT_EQ(workingSet.exitCode, 0);
    EXPECT_EQ(workingSet.out, "");
    EXPECT_EQ(fileProvider({"ls", "/Team/../Marketing"}).exitCode, 2);
    EXPECT_EQ(fileProvider({"ls"}).exitCode, 2);
    EXPECT_EQ(fileProvider({"frobnicate", "/"}).exitCode, 2);
    EXPECT_EQ(fileProvider({"--timeout", "x", "ls", "/"}).exitCode, 2);
    const auto help = fileProvider({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("  ls PATH\n  stat PATH\n  changes PATH\n"));
}

TEST_F(HostProgramTest, AnExtensionThatDoesNotAnswerInTimeEndsTheRun) {
    server.injectFault({.path = "/api/files", .delayMs = 20'000});
    const auto late = fileProvider({"--timeout", "0.5", "ls", "/Team"});
    EXPECT_EQ(late.exitCode, 4);
    EXPECT_TRUE(late.err.contains("did not finish the enumeration in time"));
}

} // namespace
