#include "app/finder/FinderExtension.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/AppUI.h"
#include "app/tests/mountsupport/ReadOnlyFolder.h"
#include "app/tests/support/ClientServices.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/WaitForTask.h"
#include "tests/support/FileManagerDesk.h"
#include "tests/support/InMemoryCredentialStore.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class FinderExtensionTest : public ::testing::Test {
protected:
    // A bundle holding the extension, as the build lays it out.
    QString makeBundle() {
        const QString bundle = home.path() + "/Kelvane";
        EXPECT_TRUE(AtomicFile::write(bundle + "/bin/kelvane-findersync", "#!\n",
                                      AtomicFile::Mode::Executable));
        return bundle;
    }
    FinderExtension::Options options(const QString& bundle) {
        FinderExtension::Options o;
        o.bundleDir = bundle;
        o.registry = desk.options();
        return o;
    }

    TestHome home;
    FileManagerDesk desk;
    RecordingViewer viewer;
};

} // namespace

TEST(FinderExtensionListing, FirstLineNamingTheExtensionDecides) {
    using S = FinderExtensionState;
    const QString id = FinderExtension::kBundleIdentifier;
    EXPECT_EQ(FinderExtension::stateFromListing(std::nullopt), S::notInstalled);
    EXPECT_EQ(FinderExtension::stateFromListing(QString()), S::notInstalled);
    EXPECT_EQ(FinderExtension::stateFromListing("+    com.other(1)\n"), S::notInstalled);
    EXPECT_EQ(FinderExtension::stateFromListing("\n+    " + id + "(0.1)\tnemo\n"), S::enabled);
    EXPECT_EQ(FinderExtension::stateFromListing("-    " + id + "(0.1)\tnemo\n+    " + id + "(0.1)"),
              S::disabled);
    EXPECT_EQ(FinderExtension::stateFromListing("     " + id + "(0.1)\n"), S::disabled);
}

TEST_F(FinderExtensionTest, RegistersOnlyWhatTheBundleHoldsAndReportsItsState) {
    const FinderExtension empty(options(home.path() + "/Empty"));
    empty.registerBundledExtension();
    EXPECT_EQ(empty.state(), FinderExtensionState::notInstalled);

    const FinderExtension extension(options(makeBundle()));
    extension.registerBundledExtension();
    EXPECT_EQ(extension.state(), FinderExtensionState::enabled);
    EXPECT_TRUE(QFile(Paths::nemoActionsDir() + "/kelvane-copy-link.nemo_action")
                    .open(QIODevice::ReadOnly));
}

TEST_F(FinderExtensionTest, EnablingSwitchesBackOnAndShowsTheFolderOnlyWhenThatFails) {
    const FinderExtension extension(options(makeBundle()));
    extension.registerBundledExtension();
    FileManagerDesk::gsettings(
        {"set", "org.nemo.plugins", "disabled-actions", "['kelvane-copy-link.nemo_action']"});
    EXPECT_EQ(extension.state(), FinderExtensionState::disabled);
    EXPECT_EQ(extension.enable(viewer), FinderExtensionState::enabled);
    EXPECT_TRUE(viewer.calls.isEmpty());

    // Thunar's file cannot be written now: the user is shown where the entries live.
    QByteArray uca;
    {
        QFile file(Paths::thunarActionsFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        uca = file.readAll().replace("\t<directories/>\n", "").replace("\t<other-files/>\n", "");
        uca.replace("\t<audio-files/>\n", "").replace("\t<image-files/>\n", "");
        uca.replace("\t<text-files/>\n", "").replace("\t<video-files/>\n", "");
    }
    ASSERT_TRUE(AtomicFile::write(Paths::thunarActionsFile(), uca));
    ReadOnlyFolder locked(QFileInfo(Paths::thunarActionsFile()).path());
    if (!locked.active())
        GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_EQ(extension.enable(viewer), FinderExtensionState::disabled);
    EXPECT_EQ(viewer.calls, QStringList{"open " + QFileInfo(Paths::thunarActionsFile()).path()});
}

TEST_F(FinderExtensionTest, LaunchRegistersOnAWorkerAndPublishesTheState) {
    UserDefaults defaults;
    InMemoryCredentialStore store;
    Keychain keychain{store};
    QNetworkAccessManager network;
    FileProviderDomainRegistry domains;
    HeadlessUI ui;
    AppServices services{defaults, keychain, network, domains, viewer};
    services.finder = options(makeBundle());
    FileManagerDesk::gsettings(
        {"set", "org.nemo.plugins", "disabled-actions", "['kelvane-copy-links.nemo_action']"});
    ASSERT_TRUE(AtomicFile::write(Paths::nemoActionsDir() + "/kelvane-copy-links.nemo_action",
                                  "left by an earlier run"));
    AppDelegate delegate(services, ui);
    EXPECT_EQ(delegate.finderExtensionState(), FinderExtensionState::enabled);
    QSignalSpy changed(&delegate, &AppDelegate::finderExtensionStateChanged);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(waitUntil([&] { return !changed.isEmpty(); }));
    EXPECT_EQ(delegate.finderExtensionState(), FinderExtensionState::disabled);

    FileManagerDesk::gsettings({"set", "org.nemo.plugins", "disabled-actions", "[]"});
    WaitForTask::run(delegate.refreshFinderExtensionState());
    EXPECT_EQ(delegate.finderExtensionState(), FinderExtensionState::enabled);
    EXPECT_EQ(changed.size(), 2);
    WaitForTask::run(delegate.applicationWillTerminate());
}
