#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/settings/Keychain.h"
#include "app/tests/mountsupport/LogCapture.h"
#include "app/tests/mountsupport/MountTestKit.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "tests/support/DevServer.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using MountTestKit::await;
using MountTestKit::engineCalls;

Filespace named(const QString& id, const QString& mountName) {
    return {id, mountName, "file:///srv/meta/" + id, id, mountName};
}

class MountServicesTest : public ::testing::Test {
protected:
    std::unique_ptr<MountManager> makeManager(APIClient* api = nullptr) {
        MountOptions options = MountTestKit::quickOptions();
        options.reveal = [this](const QString& path, bool isFolder) {
            revealed_.append({path, isFolder});
        };
        return std::make_unique<MountManager>(defaults_, network_, api,
                                              EngineSource{"1.3.1", "x.tar.gz", "", ""}, options);
    }

    // Two filespaces of which only the second is mounted, at a real folder.
    std::unique_ptr<MountManager> managerWithSecondMounted() {
        auto manager = makeManager();
        manager->setFilespaces({named("fs-a", "Alpha"), named("fs-b", "Beta")});
        manager->setMountState("fs-a", DirectMountState::error("nope"));
        manager->setMountState("fs-b", DirectMountState::mounted(drive()));
        return manager;
    }

    QString drive() const { return home_.file("drives/Beta"); }

    TestHome home_;
    UserDefaults defaults_{Paths::defaultsFile()};
    QNetworkAccessManager network_;
    QList<std::pair<QString, bool>> revealed_;
};

TEST_F(MountServicesTest, WorkspacePathsResolveAgainstTheFirstMountedDrive) {
    auto manager = managerWithSecondMounted();
    EXPECT_EQ(manager->localURL("/Projects/plan.txt"), drive() + "/Projects/plan.txt");
    EXPECT_EQ(manager->localURL("//Projects///plan.txt/"), drive() + "/Projects/plan.txt");
    EXPECT_EQ(manager->localURL("/"), drive());
    EXPECT_EQ(manager->localURL("a/./b"), drive() + "/a/b");
    // A link cannot lead out of the drive.
    EXPECT_EQ(manager->localURL("/Projects/../../etc/passwd"), std::nullopt);

    manager->setMountState("fs-b", DirectMountState::error("gone"));
    EXPECT_EQ(manager->localURL("/Projects"), std::nullopt);
}

TEST_F(MountServicesTest, WorkspacePathsNamingAFilespaceResolveInsideItsOwnDrive) {
    auto manager = makeManager();
    manager->setFilespaces({named("fs-a", "Alpha"), named("fs-b", "Beta")});
    manager->setMountState("fs-a", DirectMountState::mounted(home_.file("drives/Alpha")));
    manager->setMountState("fs-b", DirectMountState::mounted(drive()));
    EXPECT_EQ(manager->localURL("/Beta/Projects"), drive() + "/Projects");
    EXPECT_EQ(manager->localURL("/Beta"), drive());
    EXPECT_EQ(manager->localURL("/Alpha/x"), home_.file("drives/Alpha") + "/x");
    // Not a filespace's name: against the first mounted drive, as before.
    EXPECT_EQ(manager->localURL("/Projects"), home_.file("drives/Alpha") + "/Projects");
    EXPECT_EQ(manager->localURL("/Beta/../../etc"), std::nullopt);
    // A filespace that is not mounted does not capture its paths.
    manager->setMountState("fs-b", DirectMountState::error("gone"));
    EXPECT_EQ(manager->localURL("/Beta/Projects"), home_.file("drives/Alpha") + "/Beta/Projects");
}

TEST_F(MountServicesTest, RevealOpensFoldersSelectsFilesAndWarmsBoth) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    QDir().mkpath(drive() + "/Projects");
    QFile file(drive() + "/Projects/plan.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    auto manager = managerWithSecondMounted();

    await(manager->revealAndWarm("/Projects"));
    await(manager->revealAndWarm("Projects/plan.txt"));
    EXPECT_EQ(revealed_,
              (QList<std::pair<QString, bool>>{{drive() + "/Projects", true},
                                               {drive() + "/Projects/plan.txt", false}}));
    ASSERT_TRUE(MountTestKit::waitUntil([] { return engineCalls().size() == 2; }));
    EXPECT_EQ(engineCalls().value(0),
              (QStringList{"warmup", "--threads", "32", drive() + "/Projects"}));
    EXPECT_EQ(engineCalls().value(1).value(3), drive() + "/Projects/plan.txt");
    manager->cancelWarmups();
}

TEST_F(MountServicesTest, RevealOfSomethingAbsentShowsAndWarmsNothing) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    LogCapture log;
    auto manager = managerWithSecondMounted();
    await(manager->revealAndWarm("/not/there"));
    auto unmounted = makeManager();
    await(unmounted->revealAndWarm("/Projects"));

    EXPECT_TRUE(revealed_.isEmpty());
    EXPECT_TRUE(engineCalls().isEmpty());
    EXPECT_EQ(log.count("reveal: path not present on the drive"), 1);
    EXPECT_EQ(log.count("reveal: no mounted filespace to resolve /Projects"), 1);
}

class MountCloudStatsTest : public MountServicesTest {
protected:
    MountCloudStatsTest() : keychain_(credentials_), api_(defaults_, keychain_, network_) {
        await(api_.login(server_.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword));
    }

    DevServer server_;
    InMemoryCredentialStore credentials_;
    Keychain keychain_;
    APIClient api_;
};

TEST_F(MountCloudStatsTest, SuccessPublishesTheNumbersAndClearsTheError) {
    auto manager = makeManager(&api_);
    await(manager->refreshCloudStats());
    ASSERT_EQ(manager->cloudStatsError(), std::nullopt);
    const qint64 usedBefore = manager->cloudUsedBytes();
    const qint64 filesBefore = manager->cloudFileCount();

    server_.writeFile("Team", "/stats-probe.bin", QByteArray(1000, 'x'));
    int changes = 0;
    QObject::connect(manager.get(), &MountManager::cloudUsedBytesChanged, [&] { ++changes; });
    await(manager->refreshCloudStats());
    EXPECT_EQ(manager->cloudUsedBytes(), usedBefore + 1000);
    EXPECT_EQ(manager->cloudFileCount(), filesBefore + 1);
    EXPECT_EQ(changes, 1);
}

TEST_F(MountCloudStatsTest, SlowOrFailedAnswerSetsTheErrorAndKeepsTheNumbers) {
    auto manager = makeManager(&api_);
    await(manager->refreshCloudStats());
    const qint64 used = manager->cloudUsedBytes();
    const qint64 files = manager->cloudFileCount();

    // Answered well after the (shortened) limit.
    int answered = 0;
    QObject::connect(&network_, &QNetworkAccessManager::finished, [&] { ++answered; });
    server_.injectFault({"/api/files/storage", "GET", 0, {}, {}, 2000, false, 1});
    await(manager->refreshCloudStats(), 1500ms);
    EXPECT_EQ(answered, 0);
    EXPECT_EQ(manager->cloudStatsError(), QString("The request timed out."));
    EXPECT_EQ(manager->cloudUsedBytes(), used);
    EXPECT_EQ(manager->cloudFileCount(), files);
    // The late answer changes nothing either.
    ASSERT_TRUE(MountTestKit::waitUntil([&] { return answered == 1; }));
    EXPECT_EQ(manager->cloudStatsError(), QString("The request timed out."));

    server_.injectFault({"/api/files/storage", "GET", 500, R"({"error":"stats offline"})",
                         "application/json", 0, false, 1});
    await(manager->refreshCloudStats());
    EXPECT_EQ(manager->cloudStatsError(), QString("stats offline"));
    EXPECT_EQ(manager->cloudUsedBytes(), used);

    await(manager->refreshCloudStats());
    EXPECT_EQ(manager->cloudStatsError(), std::nullopt);
}

} // namespace
