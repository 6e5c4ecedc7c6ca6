#include "app/views/common/DelegateWiring.h"
#include "app/finder/FinderExtension.h"
#include "app/shell/AppDelegate.h"
#include "app/tests/support/DelegateServices.h"
#include "app/views/tests/screens/support/FakePrompts.h"
#include "app/views/tests/screens/support/QtPrinters.h"
#include "platform/AtomicFile.h"
#include "shared/WaitForTask.h"
#include "tests/support/FileManagerDesk.h"
#include "tests/support/TestHome.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// Counts the settings window's openings; draws nothing.
class CountingUI : public HeadlessUI {
public:
    void openSettingsWindow() override { ++settingsOpened; }
    int settingsOpened = 0;
};

// The views' inputs built from a delegate whose file-manager menu is real (the registry over
// stand-in file managers in the test's home).
class DelegateWiringTest : public ::testing::Test {
protected:
    TestHome home;
    FileManagerDesk desk;
    DelegateServices base;
    FakePrompts prompts;
    CountingUI ui;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override {
        const QString bundle = home.path() + "/Kelvane";
        ASSERT_TRUE(AtomicFile::write(bundle + "/bin/kelvane-findersync", "#!\n",
                                      AtomicFile::Mode::Executable));
        AppServices services = base.services();
        services.finder.bundleDir = bundle;
        services.finder.registry = desk.options();
        FinderExtension(services.finder).registerBundledExtension();
        delegate = std::make_unique<AppDelegate>(std::move(services), ui);
    }
    void switchOffNemo() {
        FileManagerDesk::gsettings(
            {"set", "org.nemo.plugins", "disabled-actions", "['kelvane-copy-link.nemo_action']"});
    }
};

} // namespace

TEST_F(DelegateWiringTest, TheFileManagerMenuStateReachesBothViewsAndCanBeSwitchedOn) {
    switchOffNemo();
    SettingsComponents settings = DelegateWiring::settings(*delegate, base.viewer, prompts, {});
    EXPECT_EQ(WaitForTask::run(settings.finderState()), FinderExtensionState::disabled);
    ComponentPopoverSource popover(DelegateWiring::popover(*delegate, base.defaults, base.viewer));
    EXPECT_EQ(popover.state().finder, FinderExtensionState::disabled)
        << "the popover is built with the state last read";

    QSignalSpy published(delegate.get(), &AppDelegate::finderExtensionStateChanged);
    QSignalSpy popoverChanged(&popover, &PopoverSource::changed);
    EXPECT_EQ(WaitForTask::run(settings.enableFinderExtension()), FinderExtensionState::enabled);
    EXPECT_EQ(delegate->finderExtensionState(), FinderExtensionState::enabled);
    EXPECT_EQ(published.count(), 1);
    ASSERT_TRUE(popoverChanged.count() > 0 || popoverChanged.wait(2000))
        << "an open popover follows the switch";
    EXPECT_EQ(popover.state().finder, FinderExtensionState::enabled);
    EXPECT_TRUE(base.viewer.calls.isEmpty()) << "switched on without showing any folder";
}

TEST_F(DelegateWiringTest, SavingAndSigningOutGoThroughTheDelegate) {
    SettingsComponents settings = DelegateWiring::settings(*delegate, base.viewer, prompts, {});
    EXPECT_EQ(settings.settings, delegate->settings()) << "a fresh copy";
    AppSettings edited = settings.settings;
    edited.cacheSizeMB = 2048;
    edited.automaticUpdates = false;
    settings.onSettingsSaved(edited);
    EXPECT_EQ(delegate->settings().cacheSizeMB, 2048);
    EXPECT_FALSE(delegate->settings().automaticUpdates);

    base.keychain.save(Keychain::kTokenKey, "token");
    WaitForTask::run(delegate->apiClient().reloadToken());
    ASSERT_TRUE(delegate->apiClient().isLoggedIn());
    WaitForTask::run(settings.onSignOut());
    EXPECT_FALSE(delegate->apiClient().isLoggedIn());
    EXPECT_FALSE(base.keychain.get(Keychain::kTokenKey));
}

TEST_F(DelegateWiringTest, ThePopoversOwnCommandsGoToTheDelegate) {
    switchOffNemo();
    WaitForTask::run(delegate->refreshFinderExtensionState());
    ASSERT_EQ(delegate->finderExtensionState(), FinderExtensionState::disabled);
    QStringList called;
    MenuBarCommands given{.onImportFolder = [&] { called << "import"; }};
    const MenuBarCommands commands = DelegateWiring::popoverCommands(*delegate, base.viewer, given);
    ASSERT_TRUE(commands.onEnableFinderExtension && commands.onOpenSettings);
    commands.onImportFolder();
    EXPECT_EQ(called, QStringList{"import"}) << "the caller's commands stay";

    QSignalSpy published(delegate.get(), &AppDelegate::finderExtensionStateChanged);
    commands.onEnableFinderExtension();
    ASSERT_TRUE(published.count() > 0 || published.wait(5000));
    EXPECT_EQ(delegate->finderExtensionState(), FinderExtensionState::enabled);

    commands.onOpenSettings();
    EXPECT_EQ(ui.settingsOpened, 1);
}
