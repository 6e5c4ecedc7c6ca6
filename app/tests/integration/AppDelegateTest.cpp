#include "app/shell/AppDelegate.h"
#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/mount/MountError.h"
#include "app/mount/MountManager.h"
#include "app/settings/SharedConfig.h"
#include "app/shell/AppUI.h"
#include "app/tests/support/DelegateServices.h"
#include "platform/FileViewer.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    TestHome home;
    DevServer server;
    DelegateServices base;
    UserDefaults& defaults = base.defaults;
    Keychain& keychain = base.keychain;
    std::unique_ptr<AppDelegate> delegate;

    // No FUSE for these tests: activation runs to the mount step, which then fails fast.
    void build(EngineSource engine = EngineSource::pinned()) {
        MountOptions noFuse;
        noFuse.fuseDevice = home.file("no-such-fuse-device");
        delegate = std::make_unique<AppDelegate>(
            base.services(engine, noFuse), base.ui);
        // As the process does before launching: the token is read once, up front.
        WaitForTask::run(delegate->apiClient().reloadToken());
    }
    void TearDown() override {
        if (delegate)
            WaitForTask::run(delegate->applicationWillTerminate());
    }
    void signIn() {
        WaitForTask::run(delegate->apiClient().login(server.apiURL(), DevServer::kDemoEmail,
                                                     DevServer::kDemoPassword));
    }
    DirectMountState state() { return delegate->mountManager().directMountState(); }
};

} // namespace

TEST_F(AppDelegateTest, RestoreRejectedByTheServerSignsOutAndActivatesNothing) {
    keychain.save(Keychain::kTokenKey, "revoked-token");
    defaults.setValue(DefaultsKeys::kApiURL, server.apiURL());
    build();
    QSignalSpy restored(delegate.get(), &AppDelegate::restoreFinished);
    QSignalSpy activated(delegate.get(), &AppDelegate::activationFinished);
    delegate->applicationDidFinishLaunching();
    // Launch publishes the stored address and token before anything else.
    EXPECT_EQ(SharedConfig::current().token, "revoked-token");
    ASSERT_TRUE(restored.wait(20'000));
    // The sign-out removes the token on the keychain's worker.
    EXPECT_TRUE(waitUntil(
        [&] { return !keychain.get(Keychain::kTokenKey) && !SharedConfig::current().token; }));
    EXPECT_EQ(SharedConfig::current().apiURL, server.apiURL());
    EXPECT_EQ(activated.count(), 0);
    EXPECT_EQ(state(), DirectMountState::inactive());
}

TEST_F(AppDelegateTest, OfflineLaunchStillActivatesAndReportsTheFilespaceFailure) {
    keychain.save(Keychain::kTokenKey, "some-token");
    defaults.setValue(DefaultsKeys::kApiURL, server.apiURL());
    server.stop();
    build();
    QSignalSpy restored(delegate.get(), &AppDelegate::restoreFinished);
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(restored.wait(20'000));
    EXPECT_EQ(state(), DirectMountState::error("Couldn't load filespaces: Connection refused"));
    EXPECT_EQ(keychain.get(Keychain::kTokenKey), "some-token") << "offline keeps the session";
}

TEST_F(AppDelegateTest, EmptyWorkspaceAndFailedEngineDownloadEndInTheirErrors) {
    EngineSource corrupt = EngineSource::pinned();
    corrupt.sha256 = QString(64, '0');
    build(corrupt);
    signIn();

    server.injectFault({.path = "/api/filespaces",
                        .status = 200,
                        .body = "[]",
                        .contentType = "application/json"});
    WaitForTask::run(delegate->activateStorageMode(StorageMode::directMount));
    EXPECT_EQ(state(), DirectMountState::error("No filespaces available for your account"));

    // Without provision config the default tuning is used and activation goes on to the
    // engine, whose archive does not match the pinned checksum.
    server.injectFault({.path = "/api/provision/config", .status = 500});
    WaitForTask::run(delegate->activateStorageMode(StorageMode::directMount));
    EXPECT_TRUE(state().isError());
    EXPECT_TRUE(state().message().startsWith(
        "Couldn't download JuiceFS (checksum mismatch — refusing to install (got "))
        << state().message().toStdString();
    EXPECT_TRUE(delegate->mountManager().filespaces().isEmpty());
    EXPECT_FALSE(SharedConfig::current().mountPaths) << "nothing published before mounting";
}

TEST_F(AppDelegateTest, SignInFromAnotherProcessBringsItsServerAndUser) {
    build();
    delegate->applicationDidFinishLaunching();
    EXPECT_FALSE(delegate->apiClient().currentUser());

    // Another `kelvane` signs in: it leaves the address and the token behind.
    keychain.save(Keychain::kTokenKey, server.demoToken());
    defaults.setValue(DefaultsKeys::kApiURL, server.apiURL());
    QSignalSpy restored(delegate.get(), &AppDelegate::restoreFinished);
    delegate->didLoginElsewhere();
    ASSERT_TRUE(restored.wait(20'000));
    ASSERT_TRUE(delegate->apiClient().currentUser());
    EXPECT_EQ(delegate->apiClient().currentUser()->email, DevServer::kDemoEmail);
    EXPECT_EQ(delegate->mountManager().filespaces().size(), 2);
    EXPECT_TRUE(state().message().startsWith("FUSE is required for the Kelvane drive."))
        << describe(state()).toStdString();
}

TEST_F(AppDelegateTest, TwoFilespacesWithOneFolderNameNeverShareADrive) {
    build();
    signIn();
    server.injectFault(
        {.path = "/api/filespaces",
         .status = 200,
         .body = R"([{"id":"fs-a","metadata_public_url":"file:///nowhere/a","mount_name":"Team",)"
                 R"("name":"Team","volume_name":"a"},)"
                 R"({"id":"fs-b","metadata_public_url":"file:///nowhere/b","mount_name":"Team",)"
                 R"("name":"Team archive","volume_name":"b"}])",
         .contentType = "application/json"});
    WaitForTask::run(delegate->activateStorageMode(StorageMode::directMount));
    const MountStateMap states = delegate->mountManager().mountStates();
    // The first goes as far as this machine lets it (no FUSE here); the second never starts.
    EXPECT_EQ(states.value("fs-a"),
              DirectMountState::error(MountError::missingFUSE().description()));
    EXPECT_EQ(states.value("fs-b"),
              DirectMountState::error("Another filespace (Team) already uses the folder name "
                                      "\"Team\". Ask your workspace admin to give each filespace "
                                      "its own name."));
}
