#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/AppUI.h"
#include "app/tests/support/DelegateServices.h"
#include "app/tests/support/HomeLeftovers.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// The real application core with the real engine: requests that arrive while the mount loop
// is under way must never leave an engine mounted that nobody tracks.
class ActivationInterleaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists("/dev/fuse") || !QFile::exists("/usr/bin/fusermount3"))
            GTEST_SKIP() << "FUSE is not available (/dev/fuse or fusermount3 missing)";
        // Each drive's start takes a moment, so requests land inside the loop.
        server.injectFault({.path = "/api/provision/config", .status = 500, .count = 0});
        delegate = std::make_unique<AppDelegate>(base.services(), base.ui);
        WaitForTask::run(delegate->apiClient().login(server.apiURL(), DevServer::kDemoEmail,
                                                     DevServer::kDemoPassword));
    }
    void TearDown() override {
        if (delegate)
            WaitForTask::run(delegate->applicationWillTerminate());
        HomeLeftovers::sweep(home.path());
    }
    // Runs the action at the moment the loop has started one drive's engine and not yet the
    // other's; true once it ran.
    bool inTheMiddleOfTheLoop(const std::function<void()>& action) {
        bool ran = false;
        QObject context;
        QObject::connect(&delegate->mountManager(), &MountManager::mountStatesChanged, &context,
                         [&] {
                             if (!ran && delegate->mountManager().mountStates().size() == 1) {
                                 ran = true;
                                 action();
                             }
                         });
        delegate->activateStorageMode(StorageMode::directMount);
        return waitUntil([&] { return ran; }, 60s);
    }
    void moveTheDrives() {
        AppSettings moved = delegate->settings();
        moved.mountPoint = home.file("Elsewhere");
        delegate->settingsSaved(moved);
    }

    TestHome home;
    DevServer server;
    DelegateServices base;
    UserDefaults& defaults = base.defaults;
    Keychain& keychain = base.keychain;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(ActivationInterleaveTest, ASaveWithANewMountPointDuringTheLoopMovesEveryDrive) {
    ASSERT_TRUE(inTheMiddleOfTheLoop([&] { moveTheDrives(); }));
    ASSERT_TRUE(waitUntil(
        [&] {
            // The two drives attach in either order.
            QStringList drives = HomeLeftovers::drives(home.path());
            drives.sort();
            return drives ==
                   QStringList{home.file("Elsewhere/Marketing"), home.file("Elsewhere/Team")};
        },
        60s))
        << HomeLeftovers::drives(home.path()).join(", ").toStdString();
    ASSERT_TRUE(waitUntil([&] { return delegate->mountManager().directMountState().isMounted(); }));
    // One engine per drive, nothing left at the old place.
    EXPECT_EQ(HomeLeftovers::processes(home.path()).size(), 2);
}

TEST_F(ActivationInterleaveTest, AQuitDuringTheLoopLeavesNothingMountedOrRunning) {
    bool quit = false;
    ASSERT_TRUE(inTheMiddleOfTheLoop([&] {
        moveTheDrives();
        [](AppDelegate& d, bool& done) -> QCoro::Task<> {
            co_await d.applicationWillTerminate();
            done = true;
        }(*delegate, quit);
    }));
    ASSERT_TRUE(waitUntil([&] { return quit; }, 60s));
    delegate.reset();

    EXPECT_TRUE(HomeLeftovers::drives(home.path()).isEmpty())
        << HomeLeftovers::drives(home.path()).join(", ").toStdString();
    EXPECT_TRUE(waitUntil([&] { return HomeLeftovers::processes(home.path()).isEmpty(); }, 10s))
        << "an engine is still running";
}

} // namespace
