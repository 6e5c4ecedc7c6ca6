#include "app/views/common/Appearance.h"
#include "app/views/popover/MenuBarButton.h"
#include "app/views/popover/MenuBarView.h"
#include "app/views/popover/PopoverCardView.h"
#include "app/views/tests/screens/support/FakePopoverSource.h"
#include "app/views/tests/screens/support/LayoutCheck.h"
#include "app/views/tests/screens/support/PopoverStates.h"
#include "app/views/tests/screens/support/QtPrinters.h"
#include "app/views/tests/screens/support/Screenshots.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// The popover's content as the tray shows it: 280 × 300, in a palette, on screen.
struct ShownPopover {
    FakePopoverSource source;
    RecordedCommands recorded;
    std::unique_ptr<MenuBarView> view;

    explicit ShownPopover(const PopoverState& state,
                          AppearanceMode appearance = AppearanceMode::light) {
        source.current = state;
        view = std::make_unique<MenuBarView>(source, recorded.commands());
        Appearance::apply(*view, appearance, std::nullopt);
        view->setFixedSize(MenuBarView::kWidth, MenuBarView::kHeight);
        view->show();
        settle();
    }
    void settle() {
        QApplication::processEvents();
        QApplication::processEvents();
    }
    void set(const PopoverState& state) {
        source.set(state);
        settle();
    }
    // The clickable thing showing this text (a card's button or a row).
    QAbstractButton* button(const QString& text) {
        for (QAbstractButton* b : view->findChildren<QAbstractButton*>()) {
            if (b->text() == text && b->isVisible())
                return b;
        }
        return nullptr;
    }
    QStringList texts() {
        QStringList out;
        for (const QLabel* l : view->findChildren<QLabel*>()) {
            if (l->isVisible() && !l->text().isEmpty())
                out << l->text();
        }
        for (const MenuBarButton* b : view->findChildren<MenuBarButton*>()) {
            if (b->isVisible())
                out << b->text() + (b->detail().isEmpty() ? "" : " | " + b->detail());
        }
        return out;
    }
    QString status() { return view->findChild<QLabel*>("statusLabel")->text(); }
    void click(const QString& text) {
        QAbstractButton* b = button(text);
        ASSERT_TRUE(b) << "no button " << text.toStdString() << " in "
                       << texts().join(" / ").toStdString();
        QTest::mouseClick(b, Qt::LeftButton);
        settle();
    }
};

struct Shot {
    const char* name;
    PopoverState (*state)();
    const char* mustShow;
};

} // namespace

TEST(PopoverView, EachStateRendersCleanlyAndIsSaved) {
    const Shot shots[] = {
        {"popover-signed-out", PopoverStates::signedOut, "Not signed in"},
        {"popover-mounting", PopoverStates::mounting, "Mounting at /home/dana/Kelvane…"},
        {"popover-mounted-idle", PopoverStates::mountedIdle, "Cloud | 1284 files, 3.4 GB"},
        {"popover-uploading", PopoverStates::uploading,
         "310 MB uploaded · 12 MB/s · about 3 min left"},
        {"popover-error", PopoverStates::mountError, "Direct Mount failed"},
        {"popover-update-available", PopoverStates::updateAvailable, "Kelvane 1.5.0 is available"},
        {"popover-import-running", PopoverStates::importRunning,
         "340 of 1200+ files · 820 MB · 24 MB/s · about 2 min left"},
        {"popover-import-finished-with-errors", PopoverStates::importFinishedWithErrors,
         "Import finished with errors"},
        {"popover-file-manager-menu-off", PopoverStates::fileManagerMenuOff,
         "File manager menu is switched off"},
        {"popover-first-use", PopoverStates::firstUse,
         "Tip — right-click any file in your file manager"},
        {"popover-import-complete", PopoverStates::importComplete, "Import complete"},
        {"popover-import-failed", PopoverStates::importFailed, "Import failed"},
        {"popover-import-cancelled", PopoverStates::importCancelled, "Import cancelled"},
        {"popover-file-provider-transfers", PopoverStates::fileProviderTransfers,
         "Syncing 2 items"},
        {"popover-error-long-path", PopoverStates::longUnbrokenTexts, "Direct Mount failed"},
        {"popover-mounting-long-path", PopoverStates::mountingAtALongPath,
         "Mounting at /media/dana/ExternalDrive/TeamStorage/KelvaneWorkspaceDrives…"},
    };
    for (const Shot& shot : shots) {
        SCOPED_TRACE(shot.name);
        ShownPopover popover(shot.state());
        EXPECT_TRUE(popover.texts().contains(shot.mustShow))
            << popover.texts().join(" / ").toStdString();
        EXPECT_EQ(LayoutCheck::problems(*popover.view), QStringList());
        Screenshots::save(*popover.view, shot.name);
    }
    ShownPopover dark(PopoverStates::uploading(), AppearanceMode::dark);
    EXPECT_EQ(LayoutCheck::problems(*dark.view), QStringList());
    Screenshots::save(*dark.view, "popover-uploading-dark");
}

TEST(PopoverView, HeaderShowsTheStatusInItsColour) {
    ShownPopover popover(PopoverStates::mountError());
    EXPECT_EQ(popover.status(), "Error: Couldn't load filespaces: Connection …");
    const auto* label = popover.view->findChild<QLabel*>("statusLabel");
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0xFF, 0x3B, 0x30));
    popover.set(PopoverStates::mountedIdle());
    EXPECT_EQ(popover.status(), "Kelvane");
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0x34, 0xC7, 0x59));
}

TEST(PopoverView, EveryButtonReachesItsCommand) {
    {
        ShownPopover popover(PopoverStates::mountError());
        popover.click("Open Settings");
        popover.click("Check for Updates…");
        popover.click("Settings…");
        popover.click("Quit Kelvane");
        EXPECT_EQ(popover.recorded.calls,
                  (QStringList{"openSettings", "checkForUpdates", "openSettings", "quit"}));
    }
    {
        ShownPopover popover(PopoverStates::updateAvailable());
        popover.click("Install and Relaunch");
        popover.click("Install Update");
        popover.click("Open in File Manager");
        popover.click("Import Folder…");
        popover.click("Open Web Browser");
        EXPECT_EQ(popover.recorded.calls,
                  (QStringList{"installUpdate 1.5.0", "installUpdate 1.5.0", "importFolder"}));
        EXPECT_EQ(popover.source.calls,
                  (QStringList{"openInFileManager", "openWebBrowser https://files.acme.com/"}));
        // The cloud row only shows.
        QAbstractButton* cloud = popover.button("Cloud");
        ASSERT_TRUE(cloud);
        QTest::mouseClick(cloud, Qt::LeftButton);
        EXPECT_EQ(popover.recorded.calls.size(), 3);
    }
    {
        ShownPopover popover(PopoverStates::fileManagerMenuOff());
        popover.click("Open Extension Settings");
        EXPECT_EQ(popover.recorded.calls, QStringList{"enableFinderExtension"});
    }
    {
        ShownPopover popover(PopoverStates::importRunning());
        popover.click("Cancel");
        EXPECT_EQ(popover.source.calls, QStringList{"cancelImport"});
    }
}

TEST(PopoverView, GotItAndTheCloseButtonBothDismissTheTipForGood) {
    ShownPopover popover(PopoverStates::firstUse());
    popover.click("Got it");
    EXPECT_EQ(popover.source.calls, QStringList{"markOnboardingSeen"});
    EXPECT_FALSE(popover.button("Got it")) << "the tip is gone";

    ShownPopover again(PopoverStates::firstUse());
    auto* close = again.view->findChild<QToolButton*>("closeButton");
    ASSERT_TRUE(close);
    QTest::mouseClick(close, Qt::LeftButton);
    again.settle();
    EXPECT_EQ(again.source.calls, QStringList{"markOnboardingSeen"});
    EXPECT_FALSE(again.view->findChild<QToolButton*>("closeButton"));
}

TEST(PopoverView, LiveChangesUpdateTheCardsInPlace) {
    ShownPopover popover(PopoverStates::uploading());
    const auto* card = popover.view->findChild<PopoverCardView*>();
    ASSERT_TRUE(card);
    PopoverState later = PopoverStates::uploading();
    later.uploadedThisBurst = 500LL << 20;
    later.uploadETA = 30;
    popover.set(later);
    EXPECT_EQ(popover.view->findChild<PopoverCardView*>(), card) << "the same card, updated";
    EXPECT_TRUE(popover.texts().contains("500 MB uploaded · 12 MB/s · about 30 sec left"));
    // The upload ends: its card goes, the drive rows stay.
    popover.set(PopoverStates::mountedIdle());
    EXPECT_FALSE(popover.view->findChild<PopoverCardView*>());
    EXPECT_TRUE(popover.button("Open in File Manager"));
}

TEST(PopoverView, FooterAndUpdateRowFollowTheUpdater) {
    PopoverState s = PopoverStates::mountedIdle();
    s.update.kind = UpdateCardState::Kind::downloading;
    ShownPopover popover(s);
    EXPECT_TRUE(popover.button("Downloading Update…"));
    EXPECT_TRUE(popover.texts().contains("Kelvane 1.4.0 (140)"));
}
