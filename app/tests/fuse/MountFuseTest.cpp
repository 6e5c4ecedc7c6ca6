#include "app/api/APIClient.h"
#include "app/mount/EngineInstaller.h"
#include "app/mount/MountManager.h"
#include "app/settings/Keychain.h"
#include "app/tests/mountsupport/BindMount.h"
#include "app/tests/mountsupport/DriveGuard.h"
#include "app/tests/mountsupport/LogCapture.h"
#include "app/tests/mountsupport/MountTestKit.h"
#include "app/tests/mountsupport/ProcessTable.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "tests/support/DevServer.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using MountTestKit::await;
using MountTestKit::waitUntil;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Real drives of the real dev engine, installed from the real dev server.
class MountFuseTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto why = DriveGuard::unavailableReason())
            GTEST_SKIP() << why->toStdString();
        server_ = std::make_unique<DevServer>();
        api_ = std::make_unique<APIClient>(defaults_, keychain_, network_);
        await(api_->login(server_->apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword));
    }

    void TearDown() override {
        for (auto& manager : managers_) {
            for (const Filespace& filespace : manager->filespaces())
                await(manager->unmount(filespace, base()));
        }
        managers_.clear();
        guard_.releaseAll();
    }

    MountManager& makeManager(std::chrono::milliseconds pollLimit = 60s) {
        MountOptions options;
        options.pollTick = 100ms;
        options.pollLimit = pollLimit;
        options.systemEngineLocations = {};
        options.reveal = [this](const QString& path, bool isFolder) {
            revealed_.append({path, isFolder});
        };
        managers_.push_back(std::make_unique<MountManager>(defaults_, network_, api_.get(),
                                                           EngineSource::pinned(), options));
        return *managers_.back();
    }

    QList<Filespace> activate(MountManager& manager) {
        const QList<Filespace> filespaces = await(api_->fetchFilespaces());
        const ProvisionConfig config = await(api_->fetchProvisionConfig());
        manager.setFilespaces(filespaces);
        manager.setLastBase(base());
        for (const Filespace& filespace : filespaces)
            await(manager.mount(filespace, base(), cacheBase(), 1024,
                                config.mountOptions.value_or(QMap<QString, QString>())));
        return filespaces;
    }

    static bool allMounted(const MountManager& manager, int count) {
        const MountStateMap states = manager.mountStates();
        return states.size() == count &&
               std::all_of(states.begin(), states.end(),
                           [](const DirectMountState& s) { return s.isMounted(); });
    }

    QString base() const { return home_.file("Kelvane"); }
    QString cacheBase() const { return home_.file("cache"); }

    TestHome home_;
    DriveGuard guard_{home_.path()};
    UserDefaults defaults_{Paths::defaultsFile()};
    InMemoryCredentialStore credentials_;
    Keychain keychain_{credentials_};
    QNetworkAccessManager network_;
    std::unique_ptr<DevServer> server_;
    std::unique_ptr<APIClient> api_;
    std::vector<std::unique_ptr<MountManager>> managers_;
    QList<std::pair<QString, bool>> revealed_;
};

TEST_F(MountFuseTest, InstallMountUseAdoptAndUnmountBothDemoFilespaces) {
    MountManager& manager = makeManager();
    await(manager.ensureJuicefsInstalled());
    EXPECT_EQ(manager.juicefsBinary(), EngineInstaller::installLocation());
    EXPECT_EQ(readAll(MountManager::installedMarker()), EngineSource::pinned().sha256.toUtf8());

    const QList<Filespace> filespaces = activate(manager);
    ASSERT_EQ(filespaces.size(), 2);
    ASSERT_TRUE(waitUntil([&] { return allMounted(manager, 2); }, 60s))
        << describe(manager.directMountState()).toStdString();
    EXPECT_TRUE(manager.directMountState().isMounted());
    for (const Filespace& filespace : filespaces) {
        const QString drive = base() + "/" + filespace.mountName;
        EXPECT_EQ(manager.mountStates().value(filespace.id), DirectMountState::mounted(drive));
        EXPECT_TRUE(MountTable::isJuicefsMounted(drive));
        EXPECT_TRUE(QFile::exists(drive + "/.metadata_never_index"));
        EXPECT_TRUE(QFile::exists(drive + "/.trackerignore"));
    }

    // Data goes both ways between the drives and the filespaces' storage.
    EXPECT_EQ(readAll(base() + "/Team/Welcome.txt"), "Welcome to the Team filespace.\n");
    ASSERT_TRUE(writeAll(base() + "/Team/Notes/today.txt", "written through the drive"));
    EXPECT_TRUE(waitUntil([&] {
        return readAll(server_->filespaceDir("Team") + "/Notes/today.txt") ==
               "written through the drive";
    }));
    server_->writeFile("Marketing", "/Brand/news.txt", "from the server");
    EXPECT_TRUE(waitUntil(
        [&] { return readAll(base() + "/Marketing/Brand/news.txt") == "from the server"; }));

    // A workspace link resolves to the first drive and warms it with the real engine.
    LogCapture log;
    await(manager.revealAndWarm("/Projects/Plan.md"));
    EXPECT_EQ(revealed_,
              (QList<std::pair<QString, bool>>{{base() + "/Team/Projects/Plan.md", false}}));
    EXPECT_EQ(log.count("warming 1 path(s) with 32 threads"), 1);

    // A later run finds the drives attached and adopts them without starting an engine.
    MountManager& restarted = makeManager();
    activate(restarted);
    EXPECT_TRUE(allMounted(restarted, 2));
    EXPECT_EQ(log.count("adopting existing mount at"), 2);
    EXPECT_EQ(log.count("juicefs mount started"), 0);

    for (const Filespace& filespace : filespaces)
        await(manager.unmount(filespace, base()));
    EXPECT_TRUE(manager.mountStates().isEmpty());
    EXPECT_EQ(manager.directMountState(), DirectMountState::inactive());
    EXPECT_TRUE(guard_.drives().isEmpty()) << guard_.drives().join(", ").toStdString();
    // Each engine leaves once its drive is gone.
    EXPECT_TRUE(waitUntil([&] {
        return ProcessTable::countWithArgument(base() + "/Team") == 0 &&
               ProcessTable::countWithArgument(base() + "/Marketing") == 0;
    }));
}

TEST_F(MountFuseTest, EngineFailuresReachTheStateWithTheLoggedReason) {
    MountManager& manager = makeManager(1500ms);
    await(manager.ensureJuicefsInstalled());

    const Filespace missing{"fs-gone", "Gone", "file://" + home_.file("no-such-volume"), "gone",
                            "Gone"};
    await(manager.mount(missing, base(), cacheBase(), 1024, {}));
    ASSERT_TRUE(waitUntil([&] { return manager.mountStates().value("fs-gone").isError(); }));
    const QString reason = manager.mountStates().value("fs-gone").message();
    EXPECT_TRUE(reason.contains(home_.file("no-such-volume")) && reason.contains("does not exist"))
        << reason.toStdString();

    // A plain file where the drive should go stays as it was.
    ASSERT_TRUE(writeAll(base() + "/Team", "not a folder"));
    const Filespace team{"fs-team", "Team", "file://" + server_->filespaceDir("Team"), "team",
                         "Team"};
    await(manager.mount(team, base(), cacheBase(), 1024, {}));
    ASSERT_TRUE(waitUntil([&] { return manager.mountStates().value("fs-team").isError(); }));
    const QString plainFileReason = manager.mountStates().value("fs-team").message();
    EXPECT_TRUE(plainFileReason.startsWith("mount point " + base() + "/Team is not a folder"))
        << plainFileReason.toStdString();
    EXPECT_EQ(readAll(base() + "/Team"), "not a folder");
    EXPECT_TRUE(manager.directMountState().isError());
    EXPECT_TRUE(guard_.drives().isEmpty());
}

TEST_F(MountFuseTest, AFolderCarryingAnotherFileSystemIsMountedOverNotAdopted) {
    QTemporaryDir elsewhere;
    QDir().mkpath(base() + "/Team");
    BindMount bind(elsewhere.path(), base() + "/Team");
    if (!bind.active())
        GTEST_SKIP() << "bind mounts need root";
    MountManager& manager = makeManager();
    await(manager.ensureJuicefsInstalled());
    LogCapture log;

    const Filespace team{"fs-team", "Team", "file://" + server_->filespaceDir("Team"), "team",
                         "Team"};
    manager.setFilespaces({team});
    await(manager.mount(team, base(), cacheBase(), 1024, {}));
    EXPECT_EQ(log.count("adopting existing mount"), 0);
    ASSERT_TRUE(waitUntil([&] { return allMounted(manager, 1); }, 60s));
    EXPECT_EQ(readAll(base() + "/Team/Welcome.txt"), "Welcome to the Team filespace.\n");

    await(manager.unmount(team, base()));
    EXPECT_FALSE(MountTable::isJuicefsMounted(base() + "/Team"));
}

} // namespace
