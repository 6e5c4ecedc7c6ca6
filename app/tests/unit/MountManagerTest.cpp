#include "app/mount/MountManager.h"
#include "app/activation/MountNameClash.h"
#include "app/mount/MountError.h"
#include "app/mount/RemountSchedule.h"
#include "app/tests/mountsupport/LogCapture.h"
#include "app/tests/mountsupport/MountTestKit.h"
#include "app/tests/mountsupport/ProcessTable.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using MountTestKit::await;
using MountTestKit::engineCalls;
using MountTestKit::waitUntil;

Filespace team() {
    return {"fs-team", "Team Drive", "file:///srv/meta/team", "team", "Team"};
}
Filespace archive() {
    return {"fs-arch", "Archive", "file:///srv/meta/arch", "arch", "Archive"};
}

class MountManagerTest : public ::testing::Test {
protected:
    MountManagerTest() { QDir().mkpath(base()); }

    QString base() const { return home_.file("Kelvane"); }
    QString cacheBase() const { return home_.file("cache"); }

    std::unique_ptr<MountManager> makeManager(MountOptions options = MountTestKit::quickOptions()) {
        return std::make_unique<MountManager>(defaults_, network_, nullptr,
                                              EngineSource{"1.3.1", "x.tar.gz", "", ""},
                                              std::move(options));
    }

    MountError mountFailure(MountManager& manager, const Filespace& filespace,
                            const QString& base) {
        try {
            await(manager.mount(filespace, base, cacheBase(), 100, {}));
        } catch (const MountError& e) {
            return e;
        }
        throw std::runtime_error("mount did not fail with a MountError");
    }

    void writeEngineLog(const QByteArray& text) {
        QDir().mkpath(QFileInfo(Paths::juicefsLogFile()).path());
        QFile log(Paths::juicefsLogFile());
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write(text);
    }

    QList<QStringList> callsOf(const QString& command) {
        QList<QStringList> matching;
        for (const QStringList& call : engineCalls()) {
            if (call.value(0) == command)
                matching.append(call);
        }
        return matching;
    }

    TestHome home_;
    UserDefaults defaults_{Paths::defaultsFile()};
    QNetworkAccessManager network_;
};

TEST_F(MountManagerTest, WithoutEngineOrFuseNothingStarts) {
    auto manager = makeManager();
    EXPECT_EQ(mountFailure(*manager, team(), base()).description(),
              "JuiceFS isn't installed yet. Reopen Kelvane to let it finish setting up, or "
              "check your internet connection.");

    MountTestKit::installEngine(MountTestKit::standInEngine());
    MountOptions noFuse = MountTestKit::quickOptions();
    noFuse.fuseDevice = home_.file("no-such-device");
    auto withoutFuse = makeManager(noFuse);
    EXPECT_EQ(mountFailure(*withoutFuse, team(), base()).description(),
              "FUSE is required for the Kelvane drive. Install the fuse3 package (for example: "
              "sudo apt install fuse3), then click Mount again.");
    EXPECT_FALSE(withoutFuse->isFUSEAvailable());
    EXPECT_TRUE(engineCalls().isEmpty());
    EXPECT_TRUE(manager->mountStates().isEmpty());
}

TEST_F(MountManagerTest, MountPointsOutsideTheRulesAreRefusedBeforeAnythingRuns) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    auto manager = makeManager();
    const MountError volumeRoot = mountFailure(*manager, team(), "/Volumes");
    EXPECT_EQ(volumeRoot.kind(), MountError::Kind::mountPointIsVolumeRoot);
    EXPECT_EQ(volumeRoot.payload(), "/Volumes/Team");

    Filespace escaping = team();
    escaping.mountName = "../../etc";
    EXPECT_EQ(mountFailure(*manager, escaping, base()).kind(), MountError::Kind::unsafeServerValue);
    Filespace badId = team();
    badId.id = "../shared";
    EXPECT_EQ(mountFailure(*manager, badId, base()).kind(), MountError::Kind::unsafeServerValue);

    EXPECT_TRUE(engineCalls().isEmpty());
    EXPECT_TRUE(manager->mountStates().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(home_.file("etc")));
}

TEST_F(MountManagerTest, EngineThatNeverAttachesEndsInTheLogsReason) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    writeEngineLog("2024/05/01 juicefs[7] <ERROR>: bad credentials [meta.go:88]\n"
                   "2024/05/01 juicefs[7] <INFO>: exiting\n  unmarked tail\n");
    auto manager = makeManager();
    QList<DirectMountState> seen;
    QObject::connect(manager.get(), &MountManager::directMountStateChanged,
                     [&] { seen.append(manager->directMountState()); });

    await(manager->mount(team(), base(), cacheBase(), 2048, {{"prefetch", "8"}}));
    EXPECT_EQ(manager->mountStates().value("fs-team"), DirectMountState::mounting());
    ASSERT_TRUE(waitUntil([&] { return manager->mountStates().value("fs-team").isError(); }));

    // The engine's source tag means nothing to the user and is left out.
    EXPECT_EQ(manager->mountStates().value("fs-team"), DirectMountState::error("bad credentials"));
    EXPECT_EQ(seen, (QList<DirectMountState>{DirectMountState::mounting(),
                                             DirectMountState::error("bad credentials")}));
    // The real child received exactly this line.
    const QList<QStringList> mounts = callsOf("mount");
    ASSERT_EQ(mounts.size(), 1);
    const QStringList& args = mounts.first();
    EXPECT_EQ(args.mid(0, 6), (QStringList{"mount", "-d", "--cache-dir", cacheBase() + "/fs-team",
                                           "--cache-size", "2048"}));
    EXPECT_EQ(args.size(), 6 + 34 + 8);
    EXPECT_EQ(args.mid(6 + 26, 2), (QStringList{"--prefetch", "8"}));
    EXPECT_EQ(args.mid(40),
              (QStringList{"--cache-large-write", "--fast-statfs", "--writeback", "-o",
                           "local,iosize=1048576,async_read,noatime,nodiratime,"
                           "daemon_timeout=600,volname=Team Drive",
                           "--no-usage-report", "file:///srv/meta/team", base() + "/Team"}));
    EXPECT_TRUE(QFileInfo(base() + "/Team").isDir());
    EXPECT_TRUE(QFileInfo(cacheBase() + "/fs-team").isDir());
}

TEST_F(MountManagerTest, WithoutALoggedReasonTheTimeLimitIsTheReason) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    writeEngineLog("<INFO>: nothing wrong here\n<ERROR>:   \n");
    auto manager = makeManager();
    await(manager->mount(team(), base(), cacheBase(), 100, {}));
    ASSERT_TRUE(waitUntil([&] { return manager->directMountState().isError(); }));
    EXPECT_EQ(manager->directMountState().message(), "mount didn't attach within 5 min");
}

TEST_F(MountManagerTest, OneEngineRunPerFilespaceWhileItIsAttaching) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    MountOptions slow = MountTestKit::quickOptions();
    slow.pollLimit = 60s;
    auto manager = makeManager(slow);
    // The second call comes before the first has even armed its poll.
    auto first = manager->mount(team(), base(), cacheBase(), 100, {});
    await(manager->mount(team(), base(), cacheBase(), 100, {}));
    await(std::move(first));
    await(manager->mount(team(), base(), cacheBase(), 100, {}));
    await(manager->mount(archive(), base(), cacheBase(), 100, {}));
    ASSERT_TRUE(waitUntil([&] { return callsOf("mount").size() >= 2; }));
    EXPECT_EQ(callsOf("mount").size(), 2);
    EXPECT_EQ(manager->mountStates().size(), 2);
    EXPECT_EQ(manager->directMountState(), DirectMountState::mounting());

    await(manager->unmount(team(), base()));
    await(manager->unmount(archive(), base()));
    EXPECT_EQ(callsOf("umount"),
              (QList<QStringList>{{"umount", base() + "/Team"}, {"umount", base() + "/Archive"}}));
    EXPECT_TRUE(manager->mountStates().isEmpty());
    EXPECT_EQ(manager->directMountState(), DirectMountState::inactive());
}

TEST_F(MountManagerTest, AFailedFilespaceIsTriedAgainAMountedOneIsNot) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    auto manager = makeManager();
    await(manager->mount(team(), base(), cacheBase(), 100, {}));
    ASSERT_TRUE(waitUntil([&] { return manager->directMountState().isError(); }));
    await(manager->mount(team(), base(), cacheBase(), 100, {}));
    EXPECT_EQ(callsOf("mount").size(), 2);

    manager->setMountState("fs-arch", DirectMountState::mounted(base() + "/Archive"));
    await(manager->mount(archive(), base(), cacheBase(), 100, {}));
    EXPECT_EQ(callsOf("mount").size(), 2);
}

TEST_F(MountManagerTest, AggregateFollowsErrorMountingMountedInactive) {
    auto manager = makeManager();
    int changes = 0;
    QObject::connect(manager.get(), &MountManager::directMountStateChanged, [&] { ++changes; });
    manager->recomputeAggregate();
    EXPECT_EQ(manager->directMountState(), DirectMountState::inactive());
    EXPECT_EQ(changes, 0);

    manager->setMountState("b", DirectMountState::mounted("/m/B"));
    manager->setMountState("a", DirectMountState::mounted("/m/A"));
    EXPECT_EQ(manager->directMountState(), DirectMountState::mounted("/m/A"));
    manager->setMountState("c", DirectMountState::mounting());
    EXPECT_EQ(manager->directMountState(), DirectMountState::mounting());
    manager->setMountState("d", DirectMountState::error("quota"));
    EXPECT_EQ(manager->directMountState(), DirectMountState::error("quota"));
    EXPECT_EQ(changes, 4);

    // Setting the aggregate directly (as activation does) holds until the next change.
    manager->setDirectMountState(DirectMountState::mounting());
    manager->setMountState("d", DirectMountState::error("quota"));
    EXPECT_EQ(manager->directMountState(), DirectMountState::error("quota"));
}

TEST_F(MountManagerTest, UnmountingTheLastFilespaceLeavesNothingShown) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    auto manager = makeManager();
    manager->setMountState("fs-team", DirectMountState::error("x"));
    manager->setMountState("fs-arch", DirectMountState::mounted(base() + "/Archive"));
    EXPECT_TRUE(manager->directMountState().isError());
    await(manager->unmount(team(), base()));
    EXPECT_EQ(manager->directMountState(), DirectMountState::mounted(base() + "/Archive"));
    await(manager->unmount(archive(), base()));
    EXPECT_EQ(manager->directMountState(), DirectMountState::inactive());
}

TEST_F(MountManagerTest, UnmountStopsEveryWarmUpAndNeverFails) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    auto manager = makeManager();
    const QString marker = home_.file("warm-target");
    EXPECT_TRUE(await(manager->warmup({marker + "/a"}, 4)));
    EXPECT_TRUE(await(manager->warmup({marker + "/b", marker + "/c"}, 8)));
    ASSERT_TRUE(waitUntil([&] {
        return ProcessTable::countWithArgument(marker + "/a") == 1 &&
               ProcessTable::countWithArgument(marker + "/b") == 1;
    }));
    // Unmounting another filespace, even one never mounted, stops them all.
    await(manager->unmount(archive(), base()));
    EXPECT_TRUE(waitUntil([&] {
        return ProcessTable::countWithArgument(marker + "/a") == 0 &&
               ProcessTable::countWithArgument(marker + "/b") == 0;
    }));
    EXPECT_EQ(callsOf("warmup").first(), (QStringList{"warmup", "--threads", "4", marker + "/a"}));
}

TEST_F(MountManagerTest, WarmUpNeedsAnEngineAndPaths) {
    auto manager = makeManager();
    EXPECT_FALSE(await(manager->warmup({"/x"}, 4)));
    MountTestKit::installEngine(MountTestKit::standInEngine());
    EXPECT_FALSE(await(manager->warmup({}, 4)));
    EXPECT_TRUE(engineCalls().isEmpty());
}

} // namespace

namespace {

TEST_F(MountManagerTest, AMountBaseThatIsEmptyRelativeOrTheRootIsRefusedAndNothingIsCreated) {
    MountTestKit::installEngine(MountTestKit::standInEngine());
    auto manager = makeManager();
    const QString cwd = QDir::currentPath();
    const auto refused = [&](const QString& base) { return mountFailure(*manager, team(), base); };
    EXPECT_EQ(refused("").kind(), MountError::Kind::mountPointIsSystemRoot);
    EXPECT_EQ(refused("  /  ").kind(), MountError::Kind::mountPointIsSystemRoot);
    const MountError relative = refused("drives");
    EXPECT_EQ(relative.kind(), MountError::Kind::mountPointNotAbsolute);
    EXPECT_EQ(relative.description(), "Mount point must be a full path starting with / (drives). "
                                      "Pick a folder inside your home or a drive.");
    EXPECT_FALSE(QFileInfo::exists(cwd + "/drives"));
    EXPECT_FALSE(QFileInfo::exists("/Team"));
    EXPECT_TRUE(MountTestKit::engineCalls().isEmpty()) << "no engine was started";
}

TEST(RemountSchedule, WaitsOneTwoFourSecondsCappedAndStopsAfterItsTries) {
    RemountSchedule schedule({std::chrono::seconds(1), std::chrono::seconds(5), 5});
    QList<qint64> delays;
    while (const auto delay = schedule.nextDelay()) {
        delays.append(delay->count());
        schedule.started();
    }
    EXPECT_EQ(delays, (QList<qint64>{1000, 2000, 4000, 5000, 5000}));
    EXPECT_EQ(schedule.triesStarted(), 5);
}

TEST(MountNameClash, EveryLaterFilespaceAskingForATakenFolderIsNamedWithTheFirst) {
    const auto fs = [](QString id, QString name, QString mountName) {
        Filespace f;
        f.id = id;
        f.name = name;
        f.mountName = mountName;
        return f;
    };
    const QMap<QString, QString> clashes =
        MountNameClash::find({fs("1", "Team", "Team"), fs("2", "Team (old)", "Team"),
                              fs("3", "Ads", "Marketing"), fs("4", "Team copy", "Team")});
    EXPECT_EQ(clashes, (QMap<QString, QString>{{"2", "Team"}, {"4", "Team"}}));
    EXPECT_EQ(MountError::mountNameClash("Team", "Team").description(),
              "Another filespace (Team) already uses the folder name \"Team\". Ask your workspace "
              "admin to give each filespace its own name.");
}

} // namespace
