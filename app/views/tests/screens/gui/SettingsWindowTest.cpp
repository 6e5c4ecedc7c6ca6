#include "app/views/settings/SettingsWindow.h"
#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/tests/support/ClientServices.h"
#include "app/views/common/Appearance.h"
#include "app/views/settings/AdvancedTab.h"
#include "app/views/settings/SettingsView.h"
#include "app/views/settings/SettingsWindowHost.h"
#include "app/views/settings/SignInForm.h"
#include "app/views/tests/screens/support/FakePrompts.h"
#include "app/views/tests/screens/support/LayoutCheck.h"
#include "app/views/tests/screens/support/QtPrinters.h"
#include "app/views/tests/screens/support/Screenshots.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QCoroTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// The settings window over a real API client (against the dev server where a test signs in)
// and a real mount manager; the desktop's questions and the delegate's callbacks recorded.
class SettingsWindowTest : public ::testing::Test {
protected:
    // First, so it goes last: the client's open connections close before the server stops.
    std::optional<DevServer> devServer;
    TestHome home;
    ClientServices client;
    RecordingViewer viewer;
    FakePrompts prompts;
    MountOptions mountOptions;
    std::unique_ptr<MountManager> mounts;
    QStringList calls;
    QList<AppSettings> saved;
    UpdateCardState update;
    QObject updater;
    std::optional<QString> loginProblem;
    FinderExtensionState finder = FinderExtensionState::disabled;
    std::optional<QString> report;
    QList<QUrl> opened;
    std::unique_ptr<SettingsWindowHost> host;

    void SetUp() override {
        update.currentVersion = "1.4.0";
        update.currentBuild = "140";
        // No FUSE here unless a test says so: the advanced tab shows its card.
        mountOptions.fuseDevice = home.file("no-fuse");
        mounts = std::make_unique<MountManager>(client.defaults, client.network, &client.api,
                                                EngineSource::pinned(), mountOptions);
        host = std::make_unique<SettingsWindowHost>([this] { return components(); });
    }
    void TearDown() override { host.reset(); }
    DevServer& server() {
        if (!devServer)
            devServer.emplace();
        return *devServer;
    }

    SettingsComponents components() {
        return SettingsComponents{
            .apiClient = client.api,
            .mountManager = *mounts,
            .viewer = viewer,
            .prompts = prompts,
            .settings = AppSettings::load(client.defaults),
            .onSettingsSaved =
                [this](const AppSettings& s) {
                    saved << s;
                    s.save(client.defaults);
                    host->close();
                },
            .onCheckForUpdates = [this] { calls << "checkForUpdates"; },
            .onDidLogin = [this] { calls << "didLogin"; },
            .onSignOut = [this]() -> QCoro::Task<> {
                calls << "signOut";
                co_await client.api.logout();
            },
            .update = [this] { return update; },
            .updateChanged =
                [this](QObject* context, std::function<void()> handler) {
                    QObject::connect(&updater, &QObject::objectNameChanged, context, handler);
                },
            .launchAtLoginProblem = [this] { return loginProblem; },
            .finderState = [this]() -> QCoro::Task<FinderExtensionState> { co_return finder; },
            .enableFinderExtension = [this]() -> QCoro::Task<FinderExtensionState> {
                calls << "enableFinderExtension";
                finder = FinderExtensionState::enabled;
                co_return finder;
            },
            .exportDiagnostics = [this](AppSettings) -> QCoro::Task<std::optional<QString>> {
                calls << "export";
                // A copy: QCoro moves from what co_return names.
                std::optional<QString> answer = report;
                co_return answer;
            },
            .openURL = [this](const QUrl& url) { opened << url; },
        };
    }

    SettingsWindow& open() {
        host->open();
        SettingsWindow* window = host->window();
        settle();
        return *window;
    }
    SettingsView& view() { return host->window()->view(); }
    void settle() {
        QApplication::processEvents();
        QApplication::processEvents();
    }
    void signInStored() {
        client.keychain.save(Keychain::kTokenKey, "token");
        WaitForTask::run(client.api.reloadToken());
        client.defaults.setValue(DefaultsKeys::kApiURL, "https://files.acme.com/api");
        AppSettings s;
        s.apiURL = "https://files.acme.com/api";
        s.save(client.defaults);
    }
    template <typename T = QPushButton> T* find(const QString& name) {
        return host->window()->findChild<T*>(name);
    }
    void click(const QString& name) {
        auto* button = find<QAbstractButton>(name);
        ASSERT_TRUE(button) << name.toStdString();
        ASSERT_TRUE(button->isVisible()) << name.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
    }
    void showTab(const QString& id, const QString& shot) {
        view().selectTab(id);
        settle();
        EXPECT_EQ(view().selectedTab(), id);
        EXPECT_EQ(LayoutCheck::problems(*host->window()), QStringList()) << shot.toStdString();
        Screenshots::save(*host->window(), shot);
    }
    void typeSignIn(const QString& server, const QString& email, const QString& password) {
        SignInForm* form = view().signInForm();
        form->apiURL()->clear();
        QTest::keyClicks(form->apiURL(), server);
        QTest::keyClicks(form->email(), email);
        QTest::keyClicks(form->password(), password);
    }
};

} // namespace

TEST_F(SettingsWindowTest, IsTheClosableDarkWindowTitledKelvaneSettings) {
    SettingsWindow& window = open();
    EXPECT_EQ(window.windowTitle(), "Kelvane Settings");
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "not resizable";
    EXPECT_TRUE(Appearance::isDark(window.palette()));
    // Opening again while it shows brings the same window forward.
    host->open();
    EXPECT_EQ(host->window(), &window);
}

TEST_F(SettingsWindowTest, SignedOutShowsTheSignInForm) {
    open();
    EXPECT_FALSE(view().isSignedIn());
    EXPECT_EQ(view().findChild<QLabel*>("headerSubtitle")->text(), "Sign in to your workspace");
    SignInForm* form = view().signInForm();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->password()->placeholderText(), "••••••••");
    EXPECT_EQ(form->password()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form->signInButton()->text(), "Sign In");
    EXPECT_EQ(LayoutCheck::problems(*host->window()), QStringList());
    Screenshots::save(*host->window(), "settings-sign-in");
}

TEST_F(SettingsWindowTest, WrongPasswordShowsInvalidCredentialsAndStoresNoToken) {
    // Hold the answer back a moment so the loading state can be seen.
    server().injectFault({.path = "/api/auth/login", .delayMs = 400});
    open();
    typeSignIn(server().apiURL(), DevServer::kDemoEmail, "not-the-password");
    click("signInButton");
    EXPECT_TRUE(view().isLoginLoading());
    EXPECT_EQ(view().signInForm()->signInButton()->text(), "Signing in…");
    Screenshots::save(*host->window(), "settings-signing-in");
    ASSERT_TRUE(waitUntil([&] { return !view().isLoginLoading(); }));
    EXPECT_EQ(view().loginError(), "Invalid credentials");
    EXPECT_EQ(view().signInForm()->signInButton()->text(), "Sign In");
    EXPECT_TRUE(host->window() && host->window()->isVisible()) << "the form stays open";
    EXPECT_FALSE(client.keychain.get(Keychain::kTokenKey));
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(LayoutCheck::problems(*host->window()), QStringList());
    Screenshots::save(*host->window(), "settings-sign-in-wrong-password");
}

TEST_F(SettingsWindowTest, AnAddressThatDoesNotParseShowsInvalidApiUrl) {
    open();
    typeSignIn("files acme", "dana@acme.com", "pw");
    click("signInButton");
    ASSERT_TRUE(waitUntil([&] { return !view().isLoginLoading(); }));
    EXPECT_EQ(view().loginError(), "Invalid API URL");
}

TEST_F(SettingsWindowTest, AnAddressThatIsNotTheApiGetsAdviceUnderTheError) {
    open();
    typeSignIn(server().baseURL() + "/nothing-here", DevServer::kDemoEmail,
               DevServer::kDemoPassword);
    click("signInButton");
    ASSERT_TRUE(waitUntil([&] { return !view().isLoginLoading(); }));
    EXPECT_TRUE(view().loginError().endsWith(
        "\nIs this the workspace's API address? It usually ends in /api."))
        << view().loginError().toStdString();
}

TEST_F(SettingsWindowTest, ASignInPostsDidLoginThenSavesAndCloses) {
    open();
    typeSignIn("  " + server().apiURL() + " ", DevServer::kDemoEmail, DevServer::kDemoPassword);
    QTest::keyClick(view().signInForm()->password(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !saved.isEmpty(); }));
    EXPECT_EQ(calls, QStringList{"didLogin"});
    EXPECT_EQ(saved.constFirst().apiURL, server().apiURL()) << "saved as signed in with";
    EXPECT_TRUE(client.keychain.get(Keychain::kTokenKey));
    ASSERT_TRUE(waitUntil([&] { return host->window() == nullptr; })) << "the window closes";
}

TEST_F(SettingsWindowTest, DrivesTabShowsEachFilespacesState) {
    signInStored();
    mounts->setFilespaces({{"fs-team", "Team", "", "Team", "team"},
                           {"fs-mkt", "Marketing", "", "Marketing", "marketing"},
                           {"fs-arch", "Archive", "", "Archive", "archive"},
                           {"fs-ops", "Operations", "", "Operations", "ops"}});
    mounts->setMountState("fs-team", DirectMountState::mounted(home.file("Kelvane/team")));
    mounts->setMountState("fs-mkt", DirectMountState::mounting());
    mounts->setMountState("fs-arch", DirectMountState::error("The engine stopped answering"));
    open();
    EXPECT_TRUE(view().isSignedIn());
    EXPECT_EQ(view().selectedTab(), "drives") << "the first tab shows first";
    EXPECT_EQ(view().findChild<QLabel*>("headerSubtitle")->text(), "files.acme.com workspace");
    QStringList statuses;
    for (const QLabel* label : view().findChildren<QLabel*>("driveStatus"))
        statuses << label->text();
    EXPECT_EQ(statuses,
              (QStringList{"Mounted", "Mounting…", "The engine stopped answering", "Not mounted"}));
    showTab("drives", "settings-drives");
    // Live: a drive that comes up while the window is open.
    mounts->setMountState("fs-mkt", DirectMountState::mounted(home.file("Kelvane/marketing")));
    settle();
    statuses.clear();
    for (const QLabel* label : view().findChildren<QLabel*>("driveStatus"))
        statuses << label->text();
    EXPECT_EQ(statuses.value(1), "Mounted");
}

TEST_F(SettingsWindowTest, DrivesTabWithoutFilespacesSaysSo) {
    signInStored();
    open();
    const auto* none = view().findChild<QLabel*>("noFilespaces");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->text(), "No filespaces yet — they'll appear here once your workspace has one.");
}

TEST_F(SettingsWindowTest, AccountTabSignsOutAndTheFormComesBack) {
    signInStored();
    open();
    showTab("account", "settings-account");
    EXPECT_EQ(view().findChild<QLabel*>("serverAddress")->text(), "https://files.acme.com/api");
    click("signOutButton");
    EXPECT_EQ(calls, QStringList{"signOut"});
    ASSERT_TRUE(waitUntil([&] { return !view().isSignedIn(); }));
    EXPECT_FALSE(client.keychain.get(Keychain::kTokenKey));
    EXPECT_TRUE(view().signInForm()->isVisible());
}

TEST_F(SettingsWindowTest, AdvancedTabRendersEverySection) {
    signInStored();
    loginProblem = "Not registered with your desktop — reopen Settings to retry.";
    open();
    showTab("advanced", "settings-advanced");
    EXPECT_EQ(find<QLabel>("launchAtLoginProblem")->text(),
              "Not registered with your desktop — reopen Settings to retry.");
    EXPECT_EQ(find<QLabel>("cacheSizeLabel")->text(), "CACHE SIZE — 300 GB");
    EXPECT_EQ(find<QLabel>("updateStatus")->text(), "You're on 1.4.0 (140).");
    EXPECT_EQ(find<QLabel>("finderState")->text(), "Off");
    EXPECT_EQ(find("finderButton")->text(), "Enable");
    ASSERT_TRUE(find<QWidget>("fuseCard"));
    // Scrolled to its end for the second picture.
    for (auto* scroll : view().advancedTab()->findChildren<QAbstractScrollArea*>())
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    settle();
    Screenshots::save(*host->window(), "settings-advanced-end");
}

TEST_F(SettingsWindowTest, AdvancedButtonsReachTheirCommands) {
    signInStored();
    open();
    view().selectTab("advanced");
    settle();
    click("fuseDownloadButton");
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.constFirst().scheme(), "https");
    click("checkNowButton");
    click("finderButton");
    ASSERT_TRUE(waitUntil([&] { return find<QLabel>("finderState")->text() == "On"; }));
    EXPECT_EQ(find("finderButton")->text(), "Settings");
    EXPECT_EQ(calls, (QStringList{"checkForUpdates", "enableFinderExtension"}));

    // The updater's state is followed while the window is open.
    update.kind = UpdateCardState::Kind::checking;
    updater.setObjectName("checking");
    settle();
    EXPECT_EQ(find("checkNowButton")->text(), "Checking…");
    update.kind = UpdateCardState::Kind::available;
    update.release = {"1.5.0", "152", QUrl("https://files.acme.com/k.tar.gz"), std::nullopt};
    updater.setObjectName("available");
    settle();
    EXPECT_EQ(find<QLabel>("updateStatus")->text(), "Kelvane 1.5.0 (152) is available.");
}

TEST_F(SettingsWindowTest, NoFuseCardWhenFuseIsThere) {
    signInStored();
    mountOptions.fuseDevice = "/dev/null";
    mountOptions.fusermountLocations = {"/usr/bin/true"};
    mounts = std::make_unique<MountManager>(client.defaults, client.network, &client.api,
                                            EngineSource::pinned(), mountOptions);
    open();
    EXPECT_FALSE(find<QWidget>("fuseCard"));
}

TEST_F(SettingsWindowTest, ADriveRootIsRefusedAndTheSettingStays) {
    signInStored();
    open();
    view().selectTab("advanced");
    const QString before = view().settings().mountPoint;
    prompts.folders = {QString("/media/USB")};
    click("chooseMountPoint");
    ASSERT_EQ(prompts.requests.size(), 1);
    EXPECT_EQ(prompts.requests[0],
              (FolderRequest{"Select Folder",
                             "Where to mount Kelvane. Pick a folder INSIDE a drive, not the "
                             "drive's root.",
                             before}));
    EXPECT_EQ(
        prompts.warnings,
        QStringList{"Invalid mount point | Mount point cannot be the root of a volume "
                    "(/media/USB). Pick a folder inside the drive, e.g. /media/USB/Kelvane."});
    EXPECT_EQ(view().settings().mountPoint, before);

    prompts.folders = {home.file("Drives")};
    click("chooseMountPoint");
    EXPECT_EQ(view().settings().mountPoint, home.file("Drives"));
    prompts.folders = {std::nullopt};
    click("chooseCacheDirectory");
    EXPECT_EQ(prompts.requests.last().message,
              "Where to cache file blocks. Keep on fast local storage.");
    EXPECT_EQ(view().settings().cacheDir, home.path() + "/.kelvane/cache") << "cancelled";
}

TEST_F(SettingsWindowTest, SaveHandsOnTheEditedCopy) {
    signInStored();
    open();
    view().selectTab("advanced");
    settle();
    auto* slider = find<QSlider>("cacheSizeSlider");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(find<QLabel>("cacheSizeLabel")->text(), "CACHE SIZE — 500 GB");
    QTest::mouseClick(find<QCheckBox>("automaticUpdates"), Qt::LeftButton, {},
                      QPoint(8, find<QCheckBox>("automaticUpdates")->height() / 2));
    prompts.folders = {home.file("Cache")};
    click("chooseCacheDirectory");
    click("saveButton");
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].cacheSizeMB, 512000);
    EXPECT_FALSE(saved[0].automaticUpdates);
    EXPECT_EQ(saved[0].cacheDir, home.file("Cache"));
    EXPECT_EQ(saved[0].storageMode, StorageMode::directMount);
    EXPECT_EQ(saved[0].appearance, AppearanceMode::system) << "kept as it stood";
}

TEST_F(SettingsWindowTest, ClosingWithoutSaveDiscardsEveryChange) {
    signInStored();
    const AppSettings stored = AppSettings::load(client.defaults);
    open();
    view().selectTab("advanced");
    settle();
    QTest::keyClick(find<QSlider>("cacheSizeSlider"), Qt::Key_Home);
    prompts.folders = {home.file("Elsewhere")};
    click("chooseMountPoint");
    EXPECT_EQ(view().settings().cacheSizeMB, 1024);
    host->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(host->window(), nullptr) << "a closed window is gone, with its copy";
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(AppSettings::load(client.defaults), stored);
    open();
    EXPECT_EQ(view().settings(), stored) << "a new window starts from the stored settings";
}

TEST_F(SettingsWindowTest, DiagnosticsRevealTheReportOrSayItCouldNotBeWritten) {
    signInStored();
    open();
    view().selectTab("advanced");
    settle();
    report = home.file("Desktop/Kelvane-diagnostics-20261207T070612.txt");
    click("exportButton");
    ASSERT_TRUE(waitUntil([&] { return !viewer.calls.isEmpty(); }));
    EXPECT_EQ(viewer.calls, QStringList{"select " + *report});
    report.reset();
    click("exportButton");
    ASSERT_TRUE(waitUntil([&] { return !prompts.warnings.isEmpty(); }));
    EXPECT_EQ(prompts.warnings,
              QStringList{"Couldn't write the report | Check that Kelvane is allowed to write to "
                          "your Desktop."});
}
