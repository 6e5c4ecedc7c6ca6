#include "app/shell/AppCommands.h"

#include "app/activity/SyncStatusReader.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/QuitSequence.h"
#include "app/tests/support/DelegateServices.h"
#include "app/tests/support/FakeUI.h"
#include "platform/Paths.h"
#include "shared/WaitForTask.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct FakeImporter : ImportControl {
    void start(const QString& source, const Filespace& filespace, const QString& juicefs,
               const std::optional<QString>& subpath) override {
        starts << QStringList{source, filespace.id, juicefs, subpath.value_or("(none)")};
    }
    QList<QStringList> starts;
};

struct FakeUpdater : UpdateControl {
    void setSiteURL(const std::optional<QString>& url) override { siteURL = url; }
    QCoro::Task<> check(bool manual) override {
        checks << manual;
        state_ = afterCheck;
        co_return;
    }
    UpdateStatus state() const override { return state_; }
    QCoro::Task<> downloadAndInstall(ReleaseInfo release) override {
        installs << release;
        state_ = afterInstall;
        co_return;
    }
    QString currentVersion() const override { return "1.4.0"; }
    QString currentBuild() const override { return "140"; }

    std::optional<QString> siteURL;
    QList<bool> checks;
    QList<ReleaseInfo> installs;
    UpdateStatus afterCheck, afterInstall, state_;
};

class AppCommandsTest : public ::testing::Test {
protected:
    TestHome home;
    DelegateServices base;
    FakeUI ui;
    FakeImporter importer;
    FakeUpdater updater;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<QuitSequence> quit;
    std::unique_ptr<AppCommands> commands;

    void SetUp() override {
        MountOptions options;
        options.systemEngineLocations = {home.file("no-engine")};
        delegate =
            std::make_unique<AppDelegate>(base.services(EngineSource::pinned(), options), ui);
        quit = std::make_unique<QuitSequence>(*delegate);
        commands = std::make_unique<AppCommands>(*delegate, ui, *quit,
                                                 AppCommands::Components{&importer, &updater});
    }
    void TearDown() override { WaitForTask::run(delegate->applicationWillTerminate()); }

    MountManager& mounts() { return delegate->mountManager(); }
    QString drive(const QString& name) { return home.file("Kelvane/" + name); }
    void mountTeamAndMarketing() {
        mounts().setFilespaces({{"fs-team", "Team", "", "Team", "Team"},
                                {"fs-mkt", "Marketing", "", "Marketing", "Marketing"}});
        mounts().setMountState("fs-mkt", DirectMountState::mounted(drive("Marketing")));
        mounts().setMountState("fs-team", DirectMountState::mounted(drive("Team")));
    }
    // Engine counters as a drive's .stats file shows them, read by one reader tick.
    void stage(qint64 blocks, qint64 bytes) {
        QDir().mkpath(drive("Team"));
        QFile stats(drive("Team") + "/.stats");
        ASSERT_TRUE(stats.open(QIODevice::WriteOnly));
        stats.write(QStringLiteral("juicefs_staging_blocks %1\njuicefs_staging_block_bytes %2\n")
                        .arg(blocks)
                        .arg(bytes)
                        .toUtf8());
        stats.close();
        delegate->syncStatus().setJuicefsMountPaths({drive("Team")});
        WaitForTask::run(delegate->syncStatus().tick());
    }
};

} // namespace

TEST_F(AppCommandsTest, LinksRevealTheirItemInsideTheNamedDrive) {
    mountTeamAndMarketing();
    QDir().mkpath(drive("Team") + "/Projects");
    QFile file(drive("Team") + "/Projects/plan.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    // Each reveal looks at the drive on a worker; one at a time keeps their order.
    EXPECT_TRUE(commands->handleURLEvent("kelvane://open/Team/Projects"));
    ASSERT_TRUE(waitUntil([&] { return base.viewer.calls.size() == 1; }));
    EXPECT_TRUE(commands->handleURLEvent("kelvane://Team/Projects/plan.txt"));
    ASSERT_TRUE(waitUntil([&] { return base.viewer.calls.size() == 2; }));
    EXPECT_EQ(base.viewer.calls, (QStringList{"open " + drive("Team") + "/Projects",
                                              "select " + drive("Team") + "/Projects/plan.txt"}));

    EXPECT_FALSE(commands->handleURLEvent("https://open/Team/Projects"));
    EXPECT_FALSE(commands->handleURLEvent("not a link"));
}

TEST_F(AppCommandsTest, ALinkArrivingBeforeItsDriveWaitsForTheMount) {
    base.keychain.save(Keychain::kTokenKey, "token");
    mounts().setFilespaces({{"fs-mkt", "Marketing", "", "Marketing", "Marketing"},
                            {"fs-team", "Team", "", "Team", "Team"}});
    mounts().setMountState("fs-mkt", DirectMountState::mounting());
    mounts().setMountState("fs-team", DirectMountState::mounting());
    QDir().mkpath(drive("Team") + "/Projects");
    QSignalSpy revealed(commands.get(), &AppCommands::linkRevealed);

    EXPECT_TRUE(commands->handleURLEvent("kelvane://open/Team/Projects"));
    EXPECT_EQ(revealed.size(), 0);
    // One drive up is not yet the drive the link names.
    mounts().setMountState("fs-mkt", DirectMountState::mounted(drive("Marketing")));
    EXPECT_EQ(revealed.size(), 0);
    mounts().setMountState("fs-team", DirectMountState::mounted(drive("Team")));
    ASSERT_EQ(revealed.size(), 1);
    EXPECT_EQ(revealed.first().first().toString(), "/Team/Projects");
    ASSERT_TRUE(waitUntil([&] { return !base.viewer.calls.isEmpty(); }));
    EXPECT_EQ(base.viewer.calls.first(), "open " + drive("Team") + "/Projects");
}

TEST_F(AppCommandsTest, FileProviderModeRevealsThroughTheDomain) {
    delegate->overrideStorageMode(StorageMode::fileprovider);
    QSignalSpy revealed(commands.get(), &AppCommands::linkRevealed);
    EXPECT_TRUE(commands->handleURLEvent("kelvane://Team/Plans"));
    ASSERT_EQ(revealed.size(), 1);
    EXPECT_EQ(revealed.first().first().toString(), "/Team/Plans");
    EXPECT_TRUE(base.viewer.calls.isEmpty()) << "no domain registered: nothing to show";
}

TEST_F(AppCommandsTest, QuitWithNothingPendingQuitsAtOnce) {
    commands->applicationShouldTerminate();
    EXPECT_TRUE(ui.alerts.isEmpty());
    EXPECT_TRUE(quit->isQuitting());
}

TEST_F(AppCommandsTest, QuitWithAStagedBlockAsksAndWaitKeepsRunning) {
    stage(1, 0);
    commands->applicationShouldTerminate();
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_TRUE(ui.alerts[0].informativeText.startsWith("1 block hasn't reached the cloud yet."))
        << ui.alerts[0].informativeText.toStdString();
    EXPECT_TRUE(ui.calls.contains("activateApplication"));
    // Asking again while the question is open shows no second alert.
    commands->applicationShouldTerminate();
    EXPECT_EQ(ui.alerts.size(), 1);

    ui.answer("Wait");
    EXPECT_FALSE(quit->isQuitting());
    commands->applicationShouldTerminate();
    ASSERT_EQ(ui.alerts.size(), 2);
    ui.alertAnswers.last()(AppUI::kDismissed);
    EXPECT_FALSE(quit->isQuitting()) << "a dismissed question is no permission to quit";
}

TEST_F(AppCommandsTest, QuitAnywayQuitsWithoutWaitingForUploads) {
    stage(3, 5'000'000);
    commands->applicationShouldTerminate();
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_TRUE(ui.alerts[0].informativeText.startsWith("5 MB hasn't"));
    ui.answer("Quit Anyway");
    EXPECT_TRUE(quit->isQuitting());
}

TEST_F(AppCommandsTest, TheEndOfTheSessionQuitsWithoutAsking) {
    stage(2, 0);
    commands->sessionEnding();
    EXPECT_TRUE(ui.alerts.isEmpty());
    EXPECT_TRUE(quit->isQuitting());
}

TEST_F(AppCommandsTest, ImportNeedsADriveAndTheEngineBeforeTheChooserOpens) {
    commands->importFolder();
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(ui.alerts[0], (Alert{Alert::Style::warning,
                                   "No drive available",
                                   "Wait for Kelvane to finish mounting, then try again.",
                                   {"OK"}}));
    EXPECT_TRUE(ui.panels.isEmpty());

    mountTeamAndMarketing();
    commands->importFolder();
    ASSERT_EQ(ui.alerts.size(), 2);
    EXPECT_EQ(ui.alerts[1].message, "Drive engine missing");
    EXPECT_EQ(ui.alerts[1].informativeText,
              "Kelvane couldn't find its juicefs binary. Reinstall the app.");
    EXPECT_TRUE(ui.panels.isEmpty());
}

TEST_F(AppCommandsTest, ImportCopiesTheChosenFolderIntoTheFirstFilespace) {
    QDir().mkpath(QFileInfo(Paths::engineBinary()).path());
    QFile engine(Paths::engineBinary());
    ASSERT_TRUE(engine.open(QIODevice::WriteOnly));
    engine.write("#!/bin/sh\n");
    engine.close();
    engine.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    mountTeamAndMarketing();

    commands->importFolder();
    ASSERT_EQ(ui.panels.size(), 1);
    EXPECT_EQ(ui.panels[0], (FolderPanel{"Import", "Choose a folder to copy into Kelvane."}));
    EXPECT_TRUE(ui.calls.contains("closePopover"));
    ui.panelAnswers[0](std::nullopt);
    EXPECT_TRUE(importer.starts.isEmpty());

    commands->importFolder();
    ui.panelAnswers[1](home.file("photos"));
    ASSERT_EQ(importer.starts.size(), 1);
    EXPECT_EQ(importer.starts[0],
              (QStringList{home.file("photos"), "fs-team", Paths::engineBinary(), "(none)"}));
}

TEST_F(AppCommandsTest, ManualChecksReportEveryOutcome) {
    base.defaults.setValue(DefaultsKeys::kApiURL, "http://server.test/api");
    updater.afterCheck = {UpdateStatus::Kind::upToDate, std::nullopt, {}};
    commands->checkForUpdates(true);
    ASSERT_TRUE(waitUntil([&] { return ui.alerts.size() == 1; }));
    EXPECT_EQ(updater.siteURL, "http://server.test/api");
    EXPECT_EQ(ui.alerts[0].message, "You're up to date");
    EXPECT_EQ(ui.alerts[0].informativeText, "Kelvane 1.4.0 (140) is the latest build.");

    updater.afterCheck = {UpdateStatus::Kind::failed, std::nullopt, "The feed is unreachable"};
    commands->checkForUpdates(true);
    ASSERT_TRUE(waitUntil([&] { return ui.alerts.size() == 2; }));
    EXPECT_EQ(ui.alerts[1], (Alert{Alert::Style::warning,
                                   "Couldn't check for updates",
                                   "The feed is unreachable",
                                   {"OK"}}));

    // Automatic checks say nothing.
    commands->checkForUpdates(false);
    ASSERT_TRUE(waitUntil([&] { return updater.checks.size() == 3; }));
    EXPECT_EQ(ui.alerts.size(), 2);
}

TEST_F(AppCommandsTest, AnAvailableReleaseIsOfferedAndAFailedInstallIsReported) {
    const ReleaseInfo release{"1.5.0", "150", QUrl("http://server.test/k.tar.gz"), std::nullopt};
    updater.afterCheck = {UpdateStatus::Kind::available, release, {}};
    updater.afterInstall = {UpdateStatus::Kind::failed, std::nullopt, "Signature mismatch"};
    commands->checkForUpdates(true);
    ASSERT_TRUE(waitUntil([&] { return ui.alerts.size() == 1; }));
    EXPECT_EQ(ui.alerts[0].message, "Kelvane 1.5.0 is available");
    EXPECT_EQ(ui.alerts[0].informativeText,
              "You're running 1.4.0 (140).\nInstalling quits Kelvane, replaces it, and starts it "
              "again — your drives will be unmounted for a few seconds.");
    EXPECT_EQ(ui.alerts[0].buttons, (QStringList{"Install and Relaunch", "Later"}));

    ui.answer("Later");
    EXPECT_TRUE(updater.installs.isEmpty());
    commands->promptToInstall(release);
    ui.answer("Install and Relaunch");
    ASSERT_TRUE(waitUntil([&] { return ui.alerts.size() == 3; }));
    EXPECT_EQ(updater.installs, QList<ReleaseInfo>{release});
    EXPECT_EQ(ui.alerts[2],
              (Alert{Alert::Style::warning, "Update failed", "Signature mismatch", {}}));
}
