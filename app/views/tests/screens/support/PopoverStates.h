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
    s.update.kind = UpdateState::Kind::available;
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
