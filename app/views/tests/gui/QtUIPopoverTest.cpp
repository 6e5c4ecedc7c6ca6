#include "app/views/QtUI.h"

#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppCommands.h"
#include "app/shell/QuitSequence.h"
#include "app/tests/support/DelegateServices.h"
#include "app/views/tray/StatusItem.h"
#include "shared/WaitForTask.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QJsonArray>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class QtUIPopoverTest : public ::testing::Test {
protected:
    TestHome home;
    DevServer server;
    DelegateServices base;
    QtUI ui;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<QuitSequence> quit;
    std::unique_ptr<AppCommands> commands;

    void SetUp() override {
        base.defaults.setValue(DefaultsKeys::kApiURL, server.apiURL());
        delegate = std::make_unique<AppDelegate>(base.services(), ui);
        delegate->apiClient().setBaseURL(APIClient::parseServerURL(server.apiURL()));
        quit = std::make_unique<QuitSequence>(*delegate);
        commands = std::make_unique<AppCommands>(*delegate, ui, *quit, AppCommands::Components{});
        ui.attach(*delegate, *commands);
        ui.setupPopover();
    }
    void TearDown() override {
        ui.closePopover();
        WaitForTask::run(delegate->applicationWillTerminate());
    }
    bool requested(const QString& path) {
        for (const QJsonValue& r : server.requests())
            if (r["path"].toString().endsWith(path))
                return true;
        return false;
    }
    void storeToken(const QString& token) {
        base.keychain.save(Keychain::kTokenKey, token);
        WaitForTask::run(delegate->apiClient().reloadToken());
        ASSERT_TRUE(delegate->apiClient().isLoggedIn());
    }
    void toggleWhenAllowed() {
        ASSERT_TRUE(waitUntil([&] { return !ui.popover()->closedJustNow(); }, 2s));
        ui.togglePopover();
    }
};

} // namespace

TEST_F(QtUIPopoverTest, OpeningRefreshesTheSessionAndStatsClosingAsksNothing) {
    storeToken(server.demoToken());
    server.clearRequests();
    ui.togglePopover();
    EXPECT_TRUE(ui.popover()->isVisible());
    EXPECT_EQ(ui.popover()->size(), QSize(280, 300));
    ASSERT_TRUE(waitUntil([&] { return requested("/files/storage"); }, 15s))
        << "the session is refreshed, then the storage numbers";
    EXPECT_TRUE(requested("/auth/me"));
    EXPECT_TRUE(waitUntil([&] { return delegate->apiClient().currentUser().has_value(); }));

    server.clearRequests();
    ui.togglePopover();
    EXPECT_FALSE(ui.popover()->isVisible());
    EXPECT_FALSE(waitUntil([&] { return server.requests().size() > 0; }, 300ms))
        << "closing makes no request";
}

TEST_F(QtUIPopoverTest, ARejectedSessionSignsOutWhenThePopoverOpens) {
    storeToken("revoked-token");
    server.clearRequests();
    toggleWhenAllowed();
    ASSERT_TRUE(waitUntil([&] { return !delegate->apiClient().isLoggedIn(); }, 15s));
    EXPECT_TRUE(requested("/auth/me"));
    EXPECT_FALSE(requested("/files/storage"));
}

TEST_F(QtUIPopoverTest, SignedOutOpeningMakesNoRequest) {
    server.clearRequests();
    ui.togglePopover();
    EXPECT_TRUE(ui.popover()->isVisible());
    EXPECT_FALSE(waitUntil([&] { return server.requests().size() > 0; }, 300ms));
}

TEST_F(QtUIPopoverTest, AlertsAnswerWithTheButtonChosenOrDismissedWhenTheSessionEnds) {
    QList<int> answers;
    ui.showAlert({Alert::Style::warning,
                  "Kelvane is still uploading",
                  "1 block …",
                  {"Wait", "Quit Anyway"},
                  0},
                 [&](int b) { answers << b; });
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                box = b;
        return box != nullptr;
    }));
    EXPECT_EQ(box->text(), "Kelvane is still uploading");
    EXPECT_EQ(box->defaultButton()->text(), "Wait");
    EXPECT_EQ(box->buttons().size(), 2);
    for (QAbstractButton* b : box->buttons())
        if (b->text() == "Quit Anyway")
            b->click();
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 1; }));
    EXPECT_EQ(answers, QList<int>{1});

    ui.showAlert(
        {Alert::Style::informational, "Kelvane 2.0 is available", "", {"Install", "Later"}, 1},
        [&](int b) { answers << b; });
    ui.dismissAlerts();
    ASSERT_EQ(answers.size(), 2);
    EXPECT_EQ(answers[1], AppUI::kDismissed);
}

TEST_F(QtUIPopoverTest, TheMenusFirstEntryOpensThePopoverAndAThemeChangeRecoloursTheHelm) {
    ui.setupStatusItem();
    ui.observeSystemTheme();
    ASSERT_TRUE(ui.menu());
    const QList<QAction*> actions = ui.menu()->actions();
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_EQ(actions.first()->text(), "Open Kelvane");
    actions.first()->trigger();
    EXPECT_TRUE(ui.popover()->isVisible());
    ui.closePopover();

    // The hub of a signed-out helm is in the theme's text colour, re-read when the theme changes.
    const QPalette original = QGuiApplication::palette();
    const QColor ink(0x12, 0x34, 0x56);
    QPalette changed = original;
    changed.setColor(QPalette::WindowText, ink);
    const auto hub = [&] { return ui.statusItem()->currentFrame().pixelColor(18, 18).rgb(); };
    EXPECT_EQ(hub(), original.color(QPalette::WindowText).rgb());
    QGuiApplication::setPalette(changed);
    const bool recoloured = waitUntil([&] { return hub() == ink.rgb(); });
    QGuiApplication::setPalette(original);
    EXPECT_TRUE(recoloured) << "the helm kept the old theme's colour";
    EXPECT_TRUE(waitUntil([&] { return hub() == original.color(QPalette::WindowText).rgb(); }));
}
