#include "app/views/tray/StatusItem.h"

#include "app/activity/SyncStatusReader.h"
#include "app/mount/MountManager.h"
#include "app/tests/support/DelegateServices.h"
#include "app/views/tray/HelmImage.h"
#include "app/views/tray/HelmTone.h"
#include "app/views/tray/TraySurface.h"
#include "platform/AtomicFile.h"
#include "shared/SyncStatus.h"
#include "shared/WaitForTask.h"
#include "tests/support/TestHome.h"
#include "tests/support/WaitUntil.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

struct RecordingSurface : TraySurface {
    void showIcon(const QImage& image) override { frames << image; }
    void showToolTip(const QString& text) override { toolTips << text; }
    QList<QImage> frames;
    QStringList toolTips;
};

class StatusItemTest : public ::testing::Test {
protected:
    TestHome home;
    DelegateServices base;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<StatusItem> item;
    RecordingSurface surface;

    void SetUp() override {
        delegate = std::make_unique<AppDelegate>(base.services(), base.ui);
        item = std::make_unique<StatusItem>(*delegate);
        item->setSurface(&surface);
    }
    void TearDown() override { WaitForTask::run(delegate->applicationWillTerminate()); }

    // The extension's ledger with one upload in flight (busy) or none, read by one tick.
    void ledger(bool busy) {
        SyncStatus status = SyncStatus::empty();
        status.updatedAt = QDateTime::currentDateTimeUtc();
        if (busy)
            status.transfers.append({"t1", "/Team/big.bin", 10, 100,
                                     SyncTransfer::Direction::upload,
                                     QDateTime::currentDateTimeUtc()});
        ASSERT_TRUE(AtomicFile::write(SyncStatus::ledgerFile(), status.toJson()));
        WaitForTask::run(delegate->syncStatus().tick());
    }
    QColor centre() const { return surface.frames.last().pixelColor(18, 18); }
};

} // namespace

TEST_F(StatusItemTest, PushesAFrameOnlyWhenItDiffersAndTheTooltipOnlyWhenItChanges) {
    ASSERT_EQ(surface.frames.size(), 1);
    EXPECT_EQ(surface.toolTips, QStringList{"Kelvane"});
    EXPECT_EQ(surface.frames[0].size(), QSize(36, 36)) << "at least 2x for HiDPI panels";
    item->updateStatusIcon();
    item->updateStatusIcon();
    EXPECT_EQ(surface.frames.size(), 1);
    EXPECT_EQ(surface.toolTips.size(), 1);

    // Signed out the helm is label-coloured whatever the drives do.
    delegate->mountManager().setDirectMountState(DirectMountState::error("x"));
    EXPECT_EQ(surface.frames.size(), 1);

    delegate->mountManager().setDirectMountState(DirectMountState::mounting());
    base.keychain.save(Keychain::kTokenKey, "token");
    WaitForTask::run(delegate->apiClient().reloadToken());
    ASSERT_EQ(surface.frames.size(), 2) << "a stored token recolours the helm";
    EXPECT_EQ(centre().rgb(), HelmColors::kOrange.rgb());
    delegate->mountManager().setDirectMountState(DirectMountState::error("boom"));
    EXPECT_EQ(centre().rgb(), HelmColors::kRed.rgb());
    delegate->mountManager().setDirectMountState(DirectMountState::mounted("/d"));
    EXPECT_EQ(centre().rgb(), QGuiApplication::palette().color(QPalette::WindowText).rgb());
    EXPECT_EQ(surface.toolTips.size(), 1);

    item->setDevicePixelRatio(3);
    EXPECT_EQ(surface.frames.last().size(), QSize(54, 54));
    item->setDevicePixelRatio(1);
    EXPECT_EQ(surface.frames.last().size(), QSize(36, 36));
}

TEST_F(StatusItemTest, SpinsWhileBusySettlesAfterAndStopsPushing) {
    ledger(true);
    ASSERT_TRUE(item->isTimerRunning());
    ASSERT_TRUE(waitUntil([&] { return surface.frames.size() >= 12; }));
    EXPECT_EQ(surface.toolTips, (QStringList{"Kelvane", "Kelvane — syncing…"}));
    for (qsizetype i = 2; i < surface.frames.size(); ++i)
        EXPECT_NE(surface.frames[i], surface.frames[i - 1]) << "only changed frames are pushed";
    // The badge says data moves.
    EXPECT_EQ(surface.frames.last().pixelColor(31, 4).rgb(), HelmColors::kBlue.rgb());

    ledger(false);
    EXPECT_TRUE(item->isTimerRunning()) << "settling onto a spoke first";
    ASSERT_TRUE(item->spin().target());
    ASSERT_TRUE(waitUntil([&] { return !item->isTimerRunning(); }, std::chrono::seconds(5)));
    EXPECT_EQ(item->spin().angle(), 0);
    EXPECT_EQ(surface.frames.last(),
              HelmImage::make(QGuiApplication::palette().color(QPalette::WindowText), 0, false, 2));
    EXPECT_EQ(surface.toolTips.last(), "Kelvane");
    const qsizetype pushed = surface.frames.size();
    ASSERT_FALSE(
        waitUntil([&] { return surface.frames.size() != pushed; }, std::chrono::milliseconds(300)))
        << "a resting helm pushes nothing";
}
