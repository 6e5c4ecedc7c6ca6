#include "app/views/popover/MenuBarModel.h"
#include "app/views/tests/screens/support/PopoverStates.h"

#include "app/views/tests/screens/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace MenuBarModel;

namespace {
StatusSummary summary(StorageMode mode, DirectMountState direct, FileProviderStatus fp = {},
                      bool signedIn = true) {
    PopoverState s;
    s.signedIn = signedIn;
    s.mode = mode;
    s.directMount = std::move(direct);
    s.fileProvider = std::move(fp);
    return statusSummary(s);
}
SyncTransfer transfer(const QString& path, SyncTransfer::Direction direction, qint64 done = 0,
                      qint64 total = 0) {
    SyncTransfer t;
    t.id = path;
    t.path = path;
    t.direction = direction;
    t.bytesTransferred = done;
    t.totalBytes = total;
    return t;
}
const auto direct = StorageMode::directMount;
const auto fileprovider = StorageMode::fileprovider;
} // namespace

TEST(MenuBarModel, StatusSummaryFollowsTheModeAndState) {
    EXPECT_EQ(summary(direct, DirectMountState::mounted("/m/T")),
              (StatusSummary{"Kelvane", ViewColor::green, "externaldrive.fill"}));
    EXPECT_EQ(summary(direct, DirectMountState::mounting()),
              (StatusSummary{"Mounting…", ViewColor::orange, "externaldrive"}));
    EXPECT_EQ(summary(direct, DirectMountState::inactive()),
              (StatusSummary{"Connecting…", ViewColor::orange, "externaldrive"}));
    EXPECT_EQ(summary(direct, DirectMountState::error("Disk full")),
              (StatusSummary{"Error: Disk full", ViewColor::red, "exclamationmark.triangle.fill"}));
    EXPECT_EQ(summary(fileprovider, {}, FileProviderStatus::registered()),
              (StatusSummary{"Kelvane", ViewColor::green, "externaldrive.fill"}));
    EXPECT_EQ(summary(fileprovider, {}, FileProviderStatus::registering()),
              (StatusSummary{"Connecting…", ViewColor::orange, "externaldrive"}));
    EXPECT_EQ(summary(fileprovider, {}, FileProviderStatus::unregistered()),
              (StatusSummary{"Connecting…", ViewColor::orange, "externaldrive"}));
    EXPECT_EQ(summary(fileprovider, {}, FileProviderStatus::failed("No domain")),
              (StatusSummary{"Error: No domain", ViewColor::red, "exclamationmark.triangle.fill"}));
    // The file-provider mode ignores the drives' state and the other way round.
    EXPECT_EQ(
        summary(fileprovider, DirectMountState::error("x"), FileProviderStatus::registered()).label,
        "Kelvane");
}

TEST(MenuBarModel, SignedOutIsGreyWithTheModesIcon) {
    EXPECT_EQ(
        summary(direct, DirectMountState::error("gone"), {}, false),
        (StatusSummary{"Not signed in", ViewColor::secondary, "exclamationmark.triangle.fill"}));
    EXPECT_EQ(summary(direct, DirectMountState::mounted("/m"), {}, false),
              (StatusSummary{"Not signed in", ViewColor::secondary, "externaldrive.fill"}));
    EXPECT_EQ(summary(fileprovider, {}, FileProviderStatus::registering(), false),
              (StatusSummary{"Not signed in", ViewColor::secondary, "externaldrive"}));
}

TEST(MenuBarModel, ErrorMessagesAreCutAt41CharactersInTheSummaryOnly) {
    const QString forty(40, QLatin1Char('e'));
    const QString fortyOne = forty + "!";
    EXPECT_EQ(summary(direct, DirectMountState::error(forty)).label, "Error: " + forty);
    EXPECT_EQ(summary(direct, DirectMountState::error(fortyOne)).label,
              "Error: " + QString(37, QLatin1Char('e')) + "…");
    EXPECT_EQ(summary(fileprovider, {}, FileProviderStatus::failed(fortyOne)).label,
              "Error: " + QString(37, QLatin1Char('e')) + "…");
    // The direct-mount card shows the whole message.
    PopoverState s = PopoverStates::base();
    s.directMount = DirectMountState::error(fortyOne);
    EXPECT_EQ(cards(s).at(0).text, fortyOne);
}

TEST(MenuBarModel, HeadlinesOfFileProviderTransfers) {
    EXPECT_EQ(syncStatusHeadline(1, 0), "Uploading 1 item");
    EXPECT_EQ(syncStatusHeadline(2, 0), "Uploading 2 items");
    EXPECT_EQ(syncStatusHeadline(1, 1), "Syncing 2 items");
    EXPECT_EQ(syncStatusHeadline(0, 1), "Downloading 1 item");
    EXPECT_EQ(syncStatusHeadline(0, 3), "Downloading 3 items");
    EXPECT_EQ(syncStatusHeadline(0, 0), "Idle");
}

TEST(MenuBarModel, UploadDetailLineJoinsThePartsThatApply) {
    EXPECT_EQ(uploadDetailLine(310LL << 20, 12.5 * (1 << 20), 150),
              "310 MB uploaded · 12 MB/s · about 3 min left");
    EXPECT_EQ(uploadDetailLine(0, 2048.7, std::nullopt), "2 KB/s · estimating…");
    EXPECT_EQ(uploadDetailLine(0, 0, std::nullopt), "waiting for the network");
    EXPECT_EQ(uploadDetailLine(5LL << 20, 0, std::nullopt),
              "5 MB uploaded · waiting for the network");
    EXPECT_EQ(uploadDetailLine(0, 0, 30), "about 30 sec left");
}

TEST(MenuBarModel, ImportCardInAllFiveStates) {
    PopoverState s = PopoverStates::mountedIdle();
    EXPECT_TRUE(cards(s).isEmpty()) << "idle shows nothing";

    s = PopoverStates::importRunning();
    PopoverCard card = cards(s).at(0);
    EXPECT_EQ(card.title, "Importing");
    EXPECT_EQ(card.symbol, "square.and.arrow.down.fill");
    EXPECT_EQ(card.text, "340 of 1200+ files · 820 MB · 24 MB/s · about 2 min left");
    EXPECT_EQ(card.buttons, (QList<CardButton>{{"Cancel", PopoverAction::cancelImport}}));
    s.import.scanning = false;
    s.import.failed = 3;
    s.import.eta.reset();
    s.import.rate = 0;
    s.import.copiedBytes = 0;
    EXPECT_EQ(importLine(s.import), "340 of 1200 files · 3 failed");

    s = PopoverStates::importFinishedWithErrors();
    card = cards(s).at(0);
    EXPECT_EQ(card.title, "Import finished with errors");
    EXPECT_EQ(card.symbol, "exclamationmark.triangle.fill");
    EXPECT_EQ(card.text, "1196 files · 2.3 GB · 5 min · 4 failed");
    s.import.failed = 0;
    card = cards(s).at(0);
    EXPECT_EQ(card.title, "Import complete");
    EXPECT_EQ(card.symbol, "checkmark.circle.fill");
    EXPECT_EQ(card.text, "1196 files · 2.3 GB · 5 min");

    s.import = {.kind = ImportCardState::Kind::failed, .message = "Source folder is gone"};
    card = cards(s).at(0);
    EXPECT_EQ(card.title, "Import failed");
    EXPECT_EQ(card.text, "Source folder is gone");

    s.import = {.kind = ImportCardState::Kind::cancelled};
    EXPECT_EQ(cards(s).at(0).title, "Import cancelled");
}

TEST(MenuBarModel, FileManagerCardOnlyWhenSwitchedOffNotWhenAbsent) {
    PopoverState s = PopoverStates::mountedIdle();
    s.finder = FinderExtensionState::disabled;
    ASSERT_EQ(cards(s).size(), 1);
    const PopoverCard card = cards(s).at(0);
    EXPECT_EQ(card.kind, PopoverCard::Kind::finderMenu);
    EXPECT_EQ(card.title, "File manager menu is switched off");
    EXPECT_EQ(card.symbol, "puzzlepiece.extension.fill");
    EXPECT_EQ(card.buttons, (QList<CardButton>{{"Open Extension Settings",
                                                PopoverAction::enableFinderExtension}}));
    s.finder = FinderExtensionState::notInstalled;
    EXPECT_TRUE(cards(s).isEmpty()) << "not installed at all: no card";
    s.finder = FinderExtensionState::enabled;
    EXPECT_TRUE(cards(s).isEmpty());
    s.finder = FinderExtensionState::disabled;
    s.signedIn = false;
    EXPECT_TRUE(cards(s).isEmpty()) << "signed out: no card";
}

TEST(MenuBarModel, FirstUseTipUntilDismissedAndOnlySignedIn) {
    PopoverState s = PopoverStates::firstUse();
    ASSERT_EQ(cards(s).size(), 1);
    const PopoverCard tip = cards(s).at(0);
    EXPECT_EQ(tip.title, "Tip — right-click any file in your file manager");
    ASSERT_EQ(tip.rows.size(), 3);
    EXPECT_EQ(tip.rows[0].text,
              "Copy Kelvane Link — share a file or folder with teammates via any chat app.");
    EXPECT_EQ(tip.rows[1],
              (CardRow{"safari", "Open in Kelvane on the Web — jump to the file in the browser."}));
    EXPECT_EQ(tip.rows[2].symbol, "gearshape");
    EXPECT_EQ(tip.buttons, (QList<CardButton>{{"Got it", PopoverAction::dismissOnboarding}}));
    EXPECT_EQ(tip.closeAction, PopoverAction::dismissOnboarding);
    s.signedIn = false;
    EXPECT_TRUE(cards(s).isEmpty());
    s = PopoverStates::firstUse();
    s.onboardingSeen = true;
    EXPECT_TRUE(cards(s).isEmpty());
}

TEST(MenuBarModel, CardsStackInTheirOrder) {
    PopoverState s = PopoverStates::updateAvailable();
    s.directMount = DirectMountState::error("Engine crashed");
    s.finder = FinderExtensionState::disabled;
    s.onboardingSeen = false;
    s.import = PopoverStates::importRunning().import;
    s.juicefsStaging = 3;
    s.transfers = {transfer("/Team/a.txt", SyncTransfer::Direction::upload)};
    QList<PopoverCard::Kind> kinds;
    for (const PopoverCard& card : cards(s))
        kinds << card.kind;
    using K = PopoverCard::Kind;
    EXPECT_EQ(kinds, (QList<K>{K::mountError, K::update, K::finderMenu, K::onboarding, K::import,
                               K::upload, K::transfers}));
    // The mounting row and the error card are the direct mode's only.
    s.mode = StorageMode::fileprovider;
    EXPECT_NE(cards(s).at(0).kind, K::mountError);
    s = PopoverStates::mounting();
    EXPECT_EQ(cards(s).at(0).title, "Mounting at /home/dana/Kelvane…");
}

TEST(MenuBarModel, MountErrorAndUpdateCardsTexts) {
    PopoverState s = PopoverStates::mountError();
    PopoverCard card = cards(s).at(0);
    EXPECT_EQ(card.title, "Direct Mount failed");
    EXPECT_EQ(card.buttons, (QList<CardButton>{{"Open Settings", PopoverAction::openSettings}}));
    s = PopoverStates::updateAvailable();
    card = cards(s).at(0);
    EXPECT_EQ(card.title, "Kelvane 1.5.0 is available");
    EXPECT_EQ(card.text, "You're on 1.4.0 (140). Updating restarts the app.");
    EXPECT_EQ(card.buttons,
              (QList<CardButton>{{"Install and Relaunch", PopoverAction::installUpdate}}));
}

TEST(MenuBarModel, UploadBlockWhileTheEngineUploadsInDirectModeOnly) {
    PopoverState s = PopoverStates::mountedIdle();
    EXPECT_FALSE(isUploading(s));
    s.juicefsUploading = 1;
    EXPECT_TRUE(isUploading(s));
    s = PopoverStates::mountedIdle();
    s.uploadBacklogBytes = 1;
    EXPECT_TRUE(isUploading(s)) << "staged bytes still waiting count";
    s.mode = StorageMode::fileprovider;
    EXPECT_FALSE(isUploading(s));
    s = PopoverStates::uploading();
    const PopoverCard card = cards(s).at(0);
    EXPECT_EQ(card.title, "Uploading to cloud");
    EXPECT_EQ(card.text, "310 MB uploaded · 12 MB/s · about 3 min left");
    EXPECT_EQ(card.note, "Safe to keep working — quitting Kelvane pauses the upload.");
}

TEST(MenuBarModel, TransferCardHasOneRowPerTransfer) {
    PopoverState s = PopoverStates::base();
    s.mode = StorageMode::fileprovider;
    s.transfers = {
        transfer("/Team/Plans/deck.key", SyncTransfer::Direction::upload, 1 << 20, 4 << 20),
        transfer("/Team/notes.txt", SyncTransfer::Direction::download),
    };
    const PopoverCard card = cards(s).at(0);
    EXPECT_EQ(card.title, "Syncing 2 items");
    EXPECT_EQ(card.rows, (QList<CardRow>{{"arrow.up", "deck.key — 1 MB of 4 MB"},
                                         {"arrow.down", "notes.txt"}}));
}

TEST(MenuBarModel, UpdateButtonHasFiveTitles) {
    UpdateCardState u;
    const auto title = [&](UpdateCardState::Kind kind) {
        u.kind = kind;
        return updateButtonTitle(u);
    };
    using K = UpdateCardState::Kind;
    EXPECT_EQ(title(K::available), "Install Update");
    EXPECT_EQ(title(K::checking), "Checking for Updates…");
    EXPECT_EQ(title(K::downloading), "Downloading Update…");
    EXPECT_EQ(title(K::installing), "Installing Update…");
    for (const K other : {K::idle, K::upToDate, K::failed})
        EXPECT_EQ(title(other), "Check for Updates…");

    PopoverState s = PopoverStates::updateAvailable();
    EXPECT_EQ(bottomRows(s).at(0).action, PopoverAction::installUpdate);
    s.update.kind = K::checking;
    EXPECT_EQ(bottomRows(s).at(0).action, PopoverAction::checkForUpdates);
    EXPECT_EQ(bottomRows(s).at(1),
              (PopoverRow{"gear", "Settings…", {}, PopoverAction::openSettings}));
    EXPECT_EQ(bottomRows(s).at(2), (PopoverRow{"power", "Quit Kelvane", {}, PopoverAction::quit}));
}

TEST(MenuBarModel, DriveRowsOnlyWhileTheDriveIsUpWithTheCloudRowInThreeForms) {
    PopoverState s = PopoverStates::mounting();
    EXPECT_TRUE(driveRows(s).isEmpty());
    s = PopoverStates::mountedIdle();
    const QList<PopoverRow> rows = driveRows(s);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0],
              (PopoverRow{"folder", "Open in File Manager", {}, PopoverAction::openInFileManager}));
    EXPECT_EQ(
        rows[1],
        (PopoverRow{"square.and.arrow.down", "Import Folder…", {}, PopoverAction::importFolder}));
    EXPECT_EQ(rows[2],
              (PopoverRow{"globe", "Open Web Browser", {}, PopoverAction::openWebBrowser}));
    EXPECT_EQ(rows[3], (PopoverRow{"cloud", "Cloud", "1284 files, 3.4 GB", PopoverAction::none}));
    s.cloudUsedBytes = 0;
    EXPECT_EQ(cloudRowText(s), "Loading…");
    s.cloudStatsFailed = true;
    EXPECT_EQ(cloudRowText(s), "—");
    s.mode = StorageMode::fileprovider;
    s.fileProvider = FileProviderStatus::registered();
    EXPECT_EQ(driveRows(s).size(), 4) << "a registered domain is an up drive";
}

TEST(MenuBarModel, WebAddressDropsTheApiStepsButKeepsTheHost) {
    EXPECT_EQ(webAddress("https://files.acme.com/api"), QUrl("https://files.acme.com/"));
    EXPECT_EQ(webAddress("http://127.0.0.1:8080/api/"), QUrl("http://127.0.0.1:8080/"));
    EXPECT_EQ(webAddress("https://acme.com/team/api/v1"), QUrl("https://acme.com/team/v1"));
    EXPECT_EQ(webAddress("https://api.acme.com/api"), QUrl("https://api.acme.com/"))
        << "a host that begins with api stays whole";
    EXPECT_EQ(webAddress("https://acme.com/apidocs"), QUrl("https://acme.com/apidocs"));
    EXPECT_FALSE(webAddress(""));
    EXPECT_FALSE(webAddress("not an address"));
    EXPECT_FALSE(webAddress("file:///etc/passwd"));
}

TEST(MenuBarModel, FooterNamesVersionAndBuild) {
    EXPECT_EQ(footerText("1.4.0", "140"), "Kelvane 1.4.0 (140)");
}
