#include "app/views/tray/StatusItem.h"

#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppDelegate.h"
#include "app/views/tray/HelmImage.h"
#include "app/views/tray/HelmTone.h"
#include "app/views/tray/TraySurface.h"
#include "app/views/tray/TrayTooltip.h"

#include <QGuiApplication>

StatusItem::StatusItem(AppDelegate& delegate, QObject* parent)
    : QObject(parent), delegate_(delegate) {
    timer_.setInterval(kTickInterval);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &StatusItem::spinTick);
    connect(&delegate_.fileProvider(), &FileProviderManager::statusChanged, this,
            &StatusItem::updateStatusIcon);
    connect(&delegate_.mountManager(), &MountManager::directMountStateChanged, this,
            &StatusItem::updateStatusIcon);
    connect(&delegate_.apiClient(), &APIClient::currentUserChanged, this,
            &StatusItem::updateStatusIcon);
    // The ledger record and the engines' activity both arrive as the reader's one change.
    connect(&delegate_.syncStatus(), &SyncStatusReader::changed, this,
            &StatusItem::syncActivityChanged);
}

void StatusItem::setSurface(TraySurface* surface) {
    surface_ = surface;
    lastFrame_ = QImage();
    lastToolTip_.clear();
    updateStatusIcon();
}

void StatusItem::setDevicePixelRatio(qreal ratio) {
    const qreal wanted = std::max<qreal>(2, ratio);
    if (wanted == devicePixelRatio_)
        return;
    devicePixelRatio_ = wanted;
    updateStatusIcon();
}

void StatusItem::updateStatusIcon() {
    if (!surface_)
        return;
    const HelmInputs inputs{delegate_.apiClient().isLoggedIn(), delegate_.storageMode(),
                            delegate_.fileProvider().status(),
                            delegate_.mountManager().directMountState()};
    const SyncStatusReader& activity = delegate_.syncStatus();
    const bool syncing = activity.isAnyActive();
    const QColor color = helmColor(helmTone(inputs), QGuiApplication::palette());
    QImage frame = HelmImage::make(color, spin_.angle(), syncing, devicePixelRatio_);
    if (frame != lastFrame_) {
        lastFrame_ = std::move(frame);
        ++iconPushes_;
        surface_->showIcon(lastFrame_);
    }
    const QString toolTip = trayTooltip({syncing, activity.uploadBacklogBytes(),
                                         activity.uploadETA(), activity.juicefsUploading(),
                                         activity.juicefsStaging(), activity.juicefsDownloading()});
    if (toolTip != lastToolTip_) {
        lastToolTip_ = toolTip;
        ++toolTipPushes_;
        surface_->showToolTip(lastToolTip_);
    }
}

void StatusItem::syncActivityChanged() {
    const SyncStatusReader& activity = delegate_.syncStatus();
    const bool busy = !activity.status().transfers.isEmpty() ||
                      activity.status().activeEnumerations >= 1 || activity.juicefsActive();
    if (spin_.setBusy(busy) && !timer_.isActive())
        timer_.start();
    updateStatusIcon();
}

void StatusItem::spinTick() {
    if (!spin_.tick())
        timer_.stop();
    updateStatusIcon();
}
