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
#include <cmath>

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
    // The colour follows the stored token, which another process may add or remove.
    connect(&delegate_.apiClient(), &APIClient::tokenStateChanged, this,
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
    color_ = helmColor(helmTone(inputs), QGuiApplication::palette());
    pushFrame();
    pushToolTip();
}

void StatusItem::pushFrame() {
    if (!surface_)
        return;
    QImage frame = frameFor(color_, delegate_.syncStatus().isAnyActive());
    if (frame.cacheKey() != lastFrame_.cacheKey() && frame != lastFrame_) {
        lastFrame_ = std::move(frame);
        ++iconPushes_;
        surface_->showIcon(lastFrame_);
    }
}

void StatusItem::pushToolTip() {
    const SyncStatusReader& activity = delegate_.syncStatus();
    const QString toolTip = trayTooltip({activity.isAnyActive(), activity.uploadBacklogBytes(),
                                         activity.uploadETA(), activity.juicefsUploading(),
                                         activity.juicefsStaging(), activity.juicefsDownloading()});
    if (toolTip != lastToolTip_) {
        lastToolTip_ = toolTip;
        ++toolTipPushes_;
        surface_->showToolTip(lastToolTip_);
    }
}

QImage StatusItem::frameFor(const QColor& color, bool syncing) {
    const double folded = std::fmod(spin_.angle(), SpinState::kSpokeAngle);
    const FrameKey key{color.rgba(), qint64(std::llround(folded * 1e6)), syncing,
                       devicePixelRatio_};
    if (const auto it = frames_.constFind(key); it != frames_.cend())
        return *it;
    // Settling angles are not repeated; a bound keeps them from piling up.
    if (frames_.size() >= 96)
        frames_.clear();
    const QImage frame = HelmImage::make(color, folded, syncing, devicePixelRatio_);
    frames_.insert(key, frame);
    return frame;
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
    pushFrame();
}
