#include "app/settings/AppSettings.h"
#include "app/shell/AppDelegate.h"
#include "app/tests/support/DelegateServices.h"
#include "app/tests/support/HeadlessKelvane.h"
#include "app/update/Updater.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestHome.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

// How the delegate sets the updater up at launch and after a settings save, and what the
// command line says without a running instance.
TEST(UpdaterWiring, LaunchAndSettingsSaveSetTheSiteAndTheAutomaticChecks) {
    TestHome home;
    DevServer server;
    DelegateServices base;
    base.defaults.setValue(DefaultsKeys::kApiURL, server.apiURL());
    AppSettings off;
    off.automaticUpdates = false;
    off.save(base.defaults);
    AppDelegate delegate(base.services(), base.ui);
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(delegate.updater().siteURL(), server.apiURL());
    EXPECT_FALSE(delegate.updater().isAutomatic());

    AppSettings on = delegate.settings();
    on.automaticUpdates = true;
    delegate.settingsSaved(on);
    EXPECT_TRUE(delegate.updater().isAutomatic());
    on.automaticUpdates = false;
    delegate.settingsSaved(on);
    EXPECT_FALSE(delegate.updater().isAutomatic());

    // A manual check uses the settings' address when there is one: here the feed has nothing.
    WaitForTask::run(delegate.checkForUpdates(true));
    EXPECT_EQ(delegate.updater().state().kind, UpdateState::Kind::failed);
    EXPECT_EQ(delegate.updater().state().message, "Couldn't reach the update server.");

    QSignalSpy quit(&delegate, &AppDelegate::quitRequested);
    WaitForTask::run(delegate.applicationWillTerminate());
    EXPECT_EQ(quit.count(), 0);
}

TEST(UpdaterWiring, TheCommandLineChecksOnItsOwnAndInstallsOnlyThroughAnInstance) {
    TestHome home;
    HeadlessKelvane kelvane(home.path());
    // Not signed in: no feed.
    auto call = kelvane.run({"update"});
    EXPECT_EQ(call.exitCode, 1);
    EXPECT_EQ(call.out, "Couldn't check for updates\nSign in first — updates come from your "
                        "workspace's server.\n");
    call = kelvane.run({"update", "--install"});
    EXPECT_EQ(call.exitCode, 1);
    EXPECT_TRUE(call.err.startsWith("Kelvane is not running"));
    call = kelvane.run({"update", "--later"});
    EXPECT_EQ(call.exitCode, 2);
    call = kelvane.run({"--headless", "--no-such-option"});
    EXPECT_EQ(call.exitCode, 2);
}
