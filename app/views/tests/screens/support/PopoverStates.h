#pragma once

#include "app/views/popover/PopoverState.h"

// The popover's states as a user meets them, for the screenshots and the click tests.
namespace PopoverStates {

inline PopoverState base() {
    PopoverState s;
    s.signedIn = true;
    s.onboardingSeen = true;
    s.mountPoint = QStringLiteral("/home/dana/Kelvane");
    s.apiURL = QStringLiteral("https://files.acme.com/api");
    s.update.currentVersion = QStringLiteral("1.4.0");
    s.update.currentBuild = QStringLiteral("140");
    s.appVersion = QStringLiteral("1.4.0");
    s.appBuild = QStringLiteral("140");
    return s;
}

inline PopoverState signedOut() {
    PopoverState s = base();
    s.signedIn = false;
    return s;
}

inline PopoverState mountedIdle() {
    PopoverState s = base();
    s.directMount = DirectMountState::mounted(QStringLiteral("/home/dana/Kelvane/Team"));
    s.cloudUsedBytes = 3LL * 1024 * 1024 * 1024 + 400LL * 1024 * 1024;
    s.cloudFileCount = 1284;
    return s;
}

inline PopoverState mounting() {
    PopoverState s = base();
    s.directMount = DirectMountState::mounting();
    return s;
}

// A mount point and an error with no place to break a line.
inline PopoverState longUnbrokenTexts() {
    PopoverState s = base();
    s.mountPoint = "/media/dana/ExternalDrive/TeamStorage/KelvaneWorkspaceDrives";
    s.directMount = DirectMountState::error(
        "Couldn't mount /media/dana/ExternalDrive/TeamStorage/KelvaneWorkspaceDrives/Marketing");
    return s;
}

inline PopoverState mountingAtALongPath() {
    PopoverState s = longUnbrokenTexts();
    s.directMount = DirectMountState::mounting();
    return s;
}

inline PopoverState uploading() {
    PopoverState s = mountedIdle();
    s.juicefsUploading = 4;
    s.juicefsStaging = 12;
    s.uploadBacklogBytes = 700LL * 1024 * 1024;
    s.uploadedThisBurst = 310LL * 1024 * 1024;
    s.uploadRate = 12.5 * 1024 * 1024;
    s.uploadETA = 150;
    return s;
}

inline PopoverState mountError() {
    PopoverState s = base();
    s.directMount = DirectMountState::error(
        QStringLiteral("Couldn't load filespaces: Connection refused by the server"));
    return s;
}

inline PopoverState updateAvailable() {
    PopoverState s = mountedIdle();
    s.update.kind = UpdateCardState::Kind::available;
    s.update.release = {QStringLiteral("1.5.0"), QStringLiteral("152"),
                        QUrl(QStringLiteral("https://files.acme.com/downloads/k.tar.gz")),
                        std::nullopt};
    return s;
}

inline PopoverState importRunning() {
    PopoverState s = mountedIdle();
    s.import.kind = ImportCardState::Kind::running;
    s.import.scanned = 1200;
    s.import.handled = 340;
    s.import.copiedBytes = 820LL * 1024 * 1024;
    s.import.rate = 24.0 * 1024 * 1024;
    s.import.scanning = true;
    s.import.eta = 95;
    return s;
}

inline PopoverState importFinishedWithErrors() {
    PopoverState s = mountedIdle();
    s.import.kind = ImportCardState::Kind::finished;
    s.import.copied = 1196;
    s.import.failed = 4;
    s.import.copiedBytes = 2LL * 1024 * 1024 * 1024 + 300LL * 1024 * 1024;
    s.import.seconds = 312;
    return s;
}

inline PopoverState importComplete() {
    PopoverState s = importFinishedWithErrors();
    s.import.failed = 0;
    return s;
}

inline PopoverState importFailed() {
    PopoverState s = mountedIdle();
    s.import.kind = ImportCardState::Kind::failed;
    s.import.message = QStringLiteral("The engine stopped (exit status 1): permission denied");
    return s;
}

inline PopoverState importCancelled() {
    PopoverState s = mountedIdle();
    s.import.kind = ImportCardState::Kind::cancelled;
    return s;
}

// File-provider mode with the domain up and files moving both ways.
inline PopoverState fileProviderTransfers() {
    PopoverState s = base();
    s.mode = StorageMode::fileprovider;
    s.fileProvider = FileProviderStatus::registered();
    s.cloudStatsFailed = true;
    const auto transfer = [](const char* path, qint64 done, qint64 total, bool up) {
        SyncTransfer t;
        t.path = QString::fromUtf8(path);
        t.bytesTransferred = done;
        t.totalBytes = total;
        t.direction = up ? SyncTransfer::Direction::upload : SyncTransfer::Direction::download;
        return t;
    };
    s.transfers = {transfer("/Team/Reports/Quarterly review.pdf", 3 << 20, 12 << 20, true),
                   transfer("/Team/Design/Launch poster final.psd", 140 << 20, 610 << 20, false)};
    return s;
}

inline PopoverState fileManagerMenuOff() {
    PopoverState s = mountedIdle();
    s.finder = FinderExtensionState::disabled;
    return s;
}

inline PopoverState firstUse() {
    PopoverState s = mountedIdle();
    s.onboardingSeen = false;
    s.cloudUsedBytes = 0;
    s.cloudFileCount = 0;
    return s;
}

} // namespace PopoverStates
