#include "app/views/popover/ComponentPopoverSource.h"
#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/mount/MountManager.h"
#include "app/tests/support/DelegateServices.h"
#include "app/views/common/DelegateWiring.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include "app/views/tests/screens/support/QtPrinters.h"
#include <QDir>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// The popover's source over the real components of a delegate that was never launched.
class ComponentPopoverSourceTest : public ::testing::Test {
protected:
    TestHome home;
    DelegateServices base;
    AppDelegate delegate{base.services(), base.ui};

    PopoverComponents components() {
        return DelegateWiring::popover(delegate, base.defaults, base.viewer);
    }
};

} // namespace

TEST_F(ComponentPopoverSourceTest, ReadsTheComponentsAndCoalescesTheirChanges) {
    ComponentPopoverSource source(components());
    EXPECT_FALSE(source.state().signedIn);
    EXPECT_EQ(source.state().mountPoint, home.path() + "/Kelvane");
    EXPECT_EQ(source.state().appVersion, KELVANE_VERSION);

    QSignalSpy changed(&source, &PopoverSource::changed);
    MountManager& mounts = delegate.mountManager();
    mounts.setDirectMountState(DirectMountState::mounting());
    mounts.setMountState("fs-team", DirectMountState::mounted(home.path() + "/Kelvane/team"));
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(changed.count(), 1) << "several changes in one turn make one refresh";
    EXPECT_TRUE(source.state().directMount.isMounted());

    base.keychain.save(Keychain::kTokenKey, "token");
    delegate.apiClient().reloadToken();
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_TRUE(source.state().signedIn) << "a stored token means signed in";
}

TEST_F(ComponentPopoverSourceTest, TheFirstUseTipIsDismissedForGood) {
    ComponentPopoverSource source(components());
    EXPECT_FALSE(source.state().onboardingSeen);
    source.markOnboardingSeen();
    EXPECT_TRUE(source.state().onboardingSeen);
    EXPECT_TRUE(base.defaults.boolean(DefaultsKeys::kOnboardingSeen));
    ComponentPopoverSource reopened(components());
    EXPECT_TRUE(reopened.state().onboardingSeen);
}

TEST_F(ComponentPopoverSourceTest, OpensTheMountPointOrItsParentWhileItIsMissing) {
    {
        ComponentPopoverSource source(components());
        source.openInFileManager();
        ASSERT_TRUE(waitUntil([&] { return !base.viewer.calls.isEmpty(); }));
        EXPECT_EQ(base.viewer.calls, QStringList{"open " + home.path()});
    }
    base.viewer.calls.clear();
    QDir().mkpath(home.path() + "/Kelvane");
    ComponentPopoverSource source(components());
    source.openInFileManager();
    ASSERT_TRUE(waitUntil([&] { return !base.viewer.calls.isEmpty(); }));
    EXPECT_EQ(base.viewer.calls, QStringList{"open " + home.path() + "/Kelvane"});
}

TEST_F(ComponentPopoverSourceTest, FileProviderModeRevealsTheDomainRoot) {
    PopoverComponents c = components();
    c.mode = StorageMode::fileprovider;
    base.domains.addDomain(FileProviderManager::domain());
    ComponentPopoverSource source(c);
    source.openInFileManager();
    ASSERT_TRUE(waitUntil([&] { return !base.viewer.calls.isEmpty(); }));
    EXPECT_TRUE(base.viewer.calls.constFirst().endsWith("CloudStorage/Kelvane"))
        << base.viewer.calls.constFirst().toStdString();
}

TEST_F(ComponentPopoverSourceTest, UpdaterAndImporterStatesComeThroughTheirAdapters) {
    PopoverComponents c = components();
    UpdateCardState update;
    update.kind = UpdateCardState::Kind::checking;
    QObject updater;
    c.update = [&] { return update; };
    c.updateChanged = [&](QObject* context, std::function<void()> handler) {
        QObject::connect(&updater, &QObject::objectNameChanged, context, handler);
    };
    QStringList cancelled;
    c.cancelImport = [&] { cancelled << "cancel"; };
    ComponentPopoverSource source(c);
    EXPECT_EQ(source.state().update.kind, UpdateCardState::Kind::checking);
    QSignalSpy changed(&source, &PopoverSource::changed);
    update.kind = UpdateCardState::Kind::upToDate;
    updater.setObjectName("changed");
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(source.state().update.kind, UpdateCardState::Kind::upToDate);
    source.cancelImport();
    EXPECT_EQ(cancelled, QStringList{"cancel"});
}
