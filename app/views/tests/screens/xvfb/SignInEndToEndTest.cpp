#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppDelegate.h"
#include "app/tests/support/DelegateServices.h"
#include "app/tests/support/HomeLeftovers.h"
#include "app/views/common/Appearance.h"
#include "app/views/common/DelegateWiring.h"
#include "app/views/popover/MenuBarFactory.h"
#include "app/views/popover/MenuBarView.h"
#include "app/views/settings/SettingsView.h"
#include "app/views/settings/SettingsWindow.h"
#include "app/views/settings/SettingsWindowHost.h"
#include "app/views/settings/SignInForm.h"
#include "app/views/tests/screens/support/FakePrompts.h"
#include "app/views/tests/screens/support/QtPrinters.h"
#include "app/views/tests/screens/support/Screenshots.h"
#include "app/views/tests/screens/support/XvfbDisplay.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// The desktop side of the delegate with the real settings window; no tray.
class WindowedUI : public HeadlessUI {
public:
    std::unique_ptr<SettingsWindowHost> settings;

    void openSettingsWindow() override { settings->open(); }
    void closeSettingsWindow() override { settings->close(); }
};

// The application core, real drives and the dev server, driven through the windows under
// a private X server.
class SignInEndToEndTest : public ::testing::Test {
protected:
    std::optional<DevServer> server;
    TestHome home;
    DelegateServices base;
    WindowedUI ui;
    FakePrompts prompts;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override {
        if (!QFile::exists("/dev/fuse") || !QFile::exists("/usr/bin/fusermount3"))
            GTEST_SKIP() << "FUSE is not available (/dev/fuse or fusermount3 missing)";
        if (!XvfbDisplay::processProblem().isEmpty())
            GTEST_SKIP() << "no X server for this test: "
                         << XvfbDisplay::processProblem().toStdString();
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "real windows, not offscreen";
        server.emplace();
        // The engines upload at 64 Mbit/s: a 16 MiB file takes about two seconds, long enough
        // to watch.
        qputenv("KELVANE_DEVENGINE_UPLOAD_LIMIT", "64");
        delegate = std::make_unique<AppDelegate>(base.services(), ui);
        ui.settings = std::make_unique<SettingsWindowHost>(
            [this] { return DelegateWiring::settings(*delegate, base.viewer, prompts, {}); });
        WaitForTask::run(delegate->apiClient().reloadToken());
        delegate->applicationDidFinishLaunching();
    }
    void TearDown() override {
        if (delegate) {
            ui.settings.reset();
            WaitForTask::run(delegate->applicationWillTerminate());
        }
        HomeLeftovers::sweep(home.path());
    }
    SettingsView& settingsView() { return ui.settings->window()->view(); }
    bool bothDrivesMounted() {
        const MountStateMap states = delegate->mountManager().mountStates();
        return states.size() == 2 && states.value("fs-team").isMounted() &&
               states.value("fs-marketing").isMounted();
    }
};

} // namespace

TEST_F(SignInEndToEndTest, SignInThroughTheWindowMountsBothDrivesAndSignOutKeepsThem) {
    delegate->openSettings();
    ASSERT_TRUE(ui.settings->window());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ui.settings->window()));
    SignInForm* form = settingsView().signInForm();
    QTest::keyClicks(form->apiURL(), server->apiURL());
    QTest::keyClicks(form->email(), DevServer::kDemoEmail);
    QTest::keyClicks(form->password(), DevServer::kDemoPassword);
    QTest::mouseClick(form->signInButton(), Qt::LeftButton);

    ASSERT_TRUE(waitUntil([&] { return ui.settings->window() == nullptr; }, 20s))
        << "the window closes after the sign-in";
    EXPECT_EQ(delegate->settings().apiURL, server->apiURL()) << "the sign-in was saved";
    ASSERT_TRUE(waitUntil([&] { return bothDrivesMounted(); }, 120s))
        << describe(delegate->mountManager().directMountState()).toStdString();

    // The popover as the tray opens it, from the components as they are now.
    std::unique_ptr<MenuBarView> popover(
        MenuBarFactory::build(DelegateWiring::popover(*delegate, base.defaults, base.viewer), {}));
    Appearance::apply(*popover, AppearanceMode::light, std::nullopt);
    popover->setFixedSize(MenuBarView::kWidth, MenuBarView::kHeight);
    popover->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popover.get()));
    ASSERT_TRUE(waitUntil([&] { return popover->content().status.label == "Kelvane"; }));
    EXPECT_EQ(popover->content().driveRows.size(), 4);
    EXPECT_EQ(popover->content().cards.size(), 1) << "the first-use tip";
    Screenshots::save(*popover, "e2e-popover-mounted");

    // "Got it" puts the tip away for good.
    QPushButton* gotIt = nullptr;
    for (QPushButton* button : popover->findChildren<QPushButton*>())
        gotIt = button->text() == "Got it" ? button : gotIt;
    ASSERT_TRUE(gotIt);
    QTest::mouseClick(gotIt, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return popover->content().cards.isEmpty(); }));
    EXPECT_TRUE(base.defaults.boolean(DefaultsKeys::kOnboardingSeen));

    // A large file copied into a drive: the open popover shows the upload while it runs.
    {
        QFile big(home.file("Kelvane/Team/large.bin"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, 'k');
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(big.write(block), block.size());
    }
    const auto uploading = [&] {
        for (const PopoverCard& card : popover->content().cards) {
            if (card.kind == PopoverCard::Kind::upload)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(waitUntil(uploading, 20s)) << "no upload card while the engine uploads";
    const auto uploadLine = [&] {
        for (const PopoverCard& card : popover->content().cards) {
            if (card.kind == PopoverCard::Kind::upload)
                return card.text;
        }
        return QString();
    };
    EXPECT_TRUE(waitUntil([&] { return uploadLine().contains(" uploaded · "); }, 20s))
        << "the upload's progress never showed: " << uploadLine().toStdString();
    Screenshots::save(*popover, "e2e-popover-uploading");
    ASSERT_TRUE(waitUntil([&] { return !uploading(); }, 120s)) << "the upload never ended";

    // The settings window again: both drives mounted, then "Sign Out".
    delegate->openSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ui.settings->window()));
    QStringList statuses;
    for (const QLabel* label : settingsView().findChildren<QLabel*>("driveStatus"))
        statuses << label->text();
    EXPECT_EQ(statuses, (QStringList{"Mounted", "Mounted"}));
    Screenshots::save(*ui.settings->window(), "e2e-settings-drives-mounted");
    settingsView().selectTab("account");
    QTest::mouseClick(settingsView().findChild<QPushButton*>("signOutButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !delegate->apiClient().isLoggedIn(); }));
    EXPECT_FALSE(base.keychain.get(Keychain::kTokenKey)) << "the token is gone";
    EXPECT_TRUE(settingsView().signInForm()->isVisible());

    // The open popover follows: signed out, drives untouched.
    ASSERT_TRUE(waitUntil([&] { return popover->content().status.label == "Not signed in"; }));
    EXPECT_TRUE(bothDrivesMounted()) << "signing out leaves the drives mounted";
    Screenshots::save(*popover, "e2e-popover-signed-out-drives-mounted");
}
