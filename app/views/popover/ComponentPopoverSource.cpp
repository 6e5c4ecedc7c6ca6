#include "app/views/popover/ComponentPopoverSource.h"

#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/mount/MountManager.h"
#include "platform/FileViewer.h"
#include "platform/UserDefaults.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QTimer>

ComponentPopoverSource::ComponentPopoverSource(PopoverComponents components, QObject* parent)
    : PopoverSource(parent), c_(std::move(components)) {
    refreshSignedIn();
    onboardingSeen_ = c_.defaults.boolean(DefaultsKeys::kOnboardingSeen, false);
    for (const auto signal : {&APIClient::currentUserChanged, &APIClient::tokenStateChanged}) {
        connect(&c_.apiClient, signal, this, [this] {
            refreshSignedIn();
            scheduleChanged();
        });
    }
    for (const auto signal :
         {&MountManager::directMountStateChanged, &MountManager::mountStatesChanged,
          &MountManager::cloudUsedBytesChanged, &MountManager::cloudFileCountChanged,
          &MountManager::cloudStatsErrorChanged})
        watch(&c_.mountManager, signal);
    watch(&c_.fileProvider, &FileProviderManager::statusChanged);
    watch(&c_.syncStatus, &SyncStatusReader::changed);
    for (const ChangeHook& hook : {c_.updateChanged, c_.importChanged, c_.finderChanged}) {
        if (hook)
            hook(this, [this] { scheduleChanged(); });
    }
}

void ComponentPopoverSource::refreshSignedIn() {
    signedIn_ = c_.apiClient.isLoggedIn();
}

void ComponentPopoverSource::scheduleChanged() {
    if (changePending_)
        return;
    changePending_ = true;
    QTimer::singleShot(0, this, [this] {
        changePending_ = false;
        emit changed();
    });
}

PopoverState ComponentPopoverSource::state() const {
    const SyncStatusReader& activity = c_.syncStatus;
    PopoverState s;
    s.signedIn = signedIn_;
    s.mode = c_.mode;
    s.fileProvider = c_.fileProvider.status();
    s.directMount = c_.mountManager.directMountState();
    s.mountPoint = c_.settings.mountPoint;
    s.apiURL = c_.settings.apiURL;
    if (c_.update)
        s.update = c_.update();
    s.finder = c_.finderNow ? c_.finderNow() : c_.finder;
    s.onboardingSeen = onboardingSeen_;
    if (c_.import)
        s.import = c_.import();
    s.juicefsUploading = activity.juicefsUploading();
    s.juicefsStaging = activity.juicefsStaging();
    s.uploadBacklogBytes = activity.uploadBacklogBytes();
    s.uploadedThisBurst = activity.uploadedThisBurst();
    s.uploadRate = activity.uploadRate();
    s.uploadETA = activity.uploadETA();
    s.transfers = activity.status().transfers;
    s.cloudUsedBytes = c_.mountManager.cloudUsedBytes();
    s.cloudFileCount = c_.mountManager.cloudFileCount();
    s.cloudStatsFailed = c_.mountManager.cloudStatsError().has_value();
    s.appVersion = c_.appVersion;
    s.appBuild = c_.appBuild;
    return s;
}

void ComponentPopoverSource::cancelImport() {
    if (c_.cancelImport)
        c_.cancelImport();
}

void ComponentPopoverSource::openInFileManager() {
    if (c_.mode == StorageMode::fileprovider) {
        c_.fileProvider.reveal(QStringLiteral("/"));
        return;
    }
    const QString mountPoint = c_.settings.mountPoint;
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, mountPoint] {
        watcher->deleteLater();
        c_.viewer.openFolder(watcher->result() ? mountPoint : QFileInfo(mountPoint).absolutePath());
    });
    watcher->setFuture(workers_.run([mountPoint] { return QFileInfo::exists(mountPoint); }));
}

void ComponentPopoverSource::openWebBrowser(const QUrl& address) {
    if (c_.openURL)
        c_.openURL(address);
    else
        QDesktopServices::openUrl(address);
}

void ComponentPopoverSource::markOnboardingSeen() {
    onboardingSeen_ = true;
    c_.defaults.setValue(DefaultsKeys::kOnboardingSeen, true);
    scheduleChanged();
}
