#include "app/views/settings/SettingsModel.h"
#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/tests/support/ClientServices.h"
#include "shared/KelvaneError.h"
#include "shared/WaitForTask.h"
#include "tests/support/TestHome.h"

#include "app/views/tests/screens/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace SettingsModel;

TEST(SettingsModel, TabsAndHeader) {
    const QList<Tab> t = tabs();
    ASSERT_EQ(t.size(), 3);
    EXPECT_EQ(t[0].id, "drives");
    EXPECT_EQ(t[0].title, "Drives");
    EXPECT_EQ(t[1].title, "Account");
    EXPECT_EQ(t[2].id, "advanced");
    EXPECT_EQ(headerSubtitle(false, "Acme"), "Sign in to your workspace");
    EXPECT_EQ(headerSubtitle(true, "Acme"), "Acme workspace");
    EXPECT_EQ(workspaceName(User{"u", "dana@acme.co.uk", "Dana", "admin"}, std::nullopt), "Acme");
    EXPECT_EQ(workspaceName(std::nullopt, QUrl("https://files.acme.com/api")), "files.acme.com");
    EXPECT_EQ(signInButtonTitle(false), "Sign In");
    EXPECT_EQ(signInButtonTitle(true), "Signing in…");
}

TEST(SettingsModel, SignInFailuresShowTheirTextAndAdviceWhereItApplies) {
    EXPECT_EQ(loginErrorText("Invalid credentials"), "Invalid credentials");
    EXPECT_EQ(loginErrorText("Invalid API URL"), "Invalid API URL");
    EXPECT_EQ(loginErrorText("Response error: the answer is not valid JSON"),
              "Response error: the answer is not valid JSON\n"
              "Is this the workspace's API address? It usually ends in /api.");
}

TEST(SettingsModel, AnAddressThatDoesNotParseIsAnInvalidApiUrl) {
    TestHome home;
    ClientServices client;
    try {
        WaitForTask::run(client.api.login("not a server address", "a@b.c", "pw"));
        FAIL() << "sign-in with a bad address succeeded";
    } catch (const KelvaneError& e) {
        EXPECT_EQ(loginErrorText(e.description()), "Invalid API URL");
    }
    EXPECT_FALSE(client.keychain.get(Keychain::kTokenKey));
}

TEST(SettingsModel, DriveStatusFromTheMountStates) {
    const Filespace team{"fs-team", "Team", "", "Team", "team"};
    MountStateMap states;
    EXPECT_EQ(statusFor(team, states), (DriveStatus{"Not mounted", ViewColor::secondary}));
    states["fs-team"] = DirectMountState::inactive();
    EXPECT_EQ(statusFor(team, states), (DriveStatus{"Not mounted", ViewColor::secondary}));
    states["fs-team"] = DirectMountState::mounting();
    EXPECT_EQ(statusFor(team, states), (DriveStatus{"Mounting…", ViewColor::blue}));
    states["fs-team"] = DirectMountState::mounted("/h/Kelvane/team");
    EXPECT_EQ(statusFor(team, states), (DriveStatus{"Mounted", ViewColor::green}));
    states["fs-team"] = DirectMountState::error("Engine stopped");
    EXPECT_EQ(statusFor(team, states), (DriveStatus{"Engine stopped", ViewColor::red}));
    EXPECT_EQ(filespacesLine("/h/Kelvane"),
              "Each filespace mounts as its own drive under /h/Kelvane");
    EXPECT_EQ(noFilespacesText(),
              "No filespaces yet — they'll appear here once your workspace has one.");
}

TEST(SettingsModel, CacheSizeLabelCountsWholeGigabytes) {
    EXPECT_EQ(cacheSizeLabel(kCacheMaxMB), "CACHE SIZE — 500 GB");
    EXPECT_EQ(cacheSizeLabel(kCacheMinMB), "CACHE SIZE — 1 GB");
    EXPECT_EQ(cacheSizeLabel(307200), "CACHE SIZE — 300 GB");
    EXPECT_EQ(cacheSizeLabel(2047), "CACHE SIZE — 1 GB") << "integer division";
    EXPECT_EQ(kCacheMaxMB % kCacheStepMB, 0) << "the slider's end lies on a step";
}

TEST(SettingsModel, UpdateStatusTextAndCheckNowTitle) {
    UpdateCardState u;
    u.currentVersion = "1.4.0";
    u.currentBuild = "140";
    using K = UpdateCardState::Kind;
    for (const K k : {K::idle, K::checking, K::upToDate}) {
        u.kind = k;
        EXPECT_EQ(updateStatusText(u), "You're on 1.4.0 (140).");
    }
    u.kind = K::available;
    u.release.version = "1.5.0";
    u.release.build = "152";
    EXPECT_EQ(updateStatusText(u), "Kelvane 1.5.0 (152) is available.");
    u.kind = K::failed;
    u.message = "Couldn't reach the update server.";
    EXPECT_EQ(updateStatusText(u), "Couldn't reach the update server.");
    u.kind = K::downloading;
    EXPECT_EQ(updateStatusText(u), "Downloading…");
    u.kind = K::installing;
    EXPECT_EQ(updateStatusText(u), "Installing…");
    EXPECT_EQ(checkNowTitle(u), "Check Now");
    u.kind = K::checking;
    EXPECT_EQ(checkNowTitle(u), "Checking…");
}

TEST(SettingsModel, FileManagerSectionByState) {
    EXPECT_EQ(finderSection(FinderExtensionState::enabled), (FinderSection{"On", "Settings", {}}));
    EXPECT_EQ(finderSection(FinderExtensionState::disabled), (FinderSection{"Off", "Enable", {}}));
    const FinderSection absent = finderSection(FinderExtensionState::notInstalled);
    EXPECT_EQ(absent.state, "Not installed");
    EXPECT_TRUE(absent.button.isEmpty());
    EXPECT_EQ(absent.note, "This build doesn't include the file manager extension — reinstall "
                           "Kelvane from your workspace's downloads page.");
}

TEST(SettingsModel, ChoosersAndTheMountPointRule) {
    EXPECT_EQ(mountPointRequest("/h/Kelvane"),
              (FolderRequest{"Select Folder",
                             "Where to mount Kelvane. Pick a folder INSIDE a drive, not the "
                             "drive's root.",
                             "/h/Kelvane"}));
    EXPECT_EQ(cacheDirectoryRequest("/h/.kelvane/cache").message,
              "Where to cache file blocks. Keep on fast local storage.");
    // The root of a drive is refused with the rule's own text.
    EXPECT_EQ(mountPointProblem("/media/USB"),
              "Mount point cannot be the root of a volume (/media/USB). Pick a folder inside the "
              "drive, e.g. /media/USB/Kelvane.");
    EXPECT_TRUE(mountPointProblem("/run/media/dana/Backup").has_value());
    EXPECT_TRUE(mountPointProblem("/").has_value());
    EXPECT_FALSE(mountPointProblem("/mnt/usb/Kelvane"));
    EXPECT_FALSE(mountPointProblem("/home/dana/Kelvane"));
}

TEST(SettingsModel, FuseCardUsesTheLinuxTexts) {
    EXPECT_EQ(fuseCardTitle(), "FUSE required — install the fuse3 package");
    EXPECT_EQ(fuseCardText(), "FUSE is required for the Kelvane drive. Install the fuse3 package "
                              "(for example: sudo apt install fuse3), then click Mount again.");
    EXPECT_EQ(fuseHelpPage().scheme(), "https");
}
