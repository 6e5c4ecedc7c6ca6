#pragma once

#include "app/fileprovider-domain/FileProviderStatus.h"
#include "app/mount/DirectMountState.h"
#include "app/settings/AppSettings.h"
#include "app/views/common/ComponentStates.h"
#include "shared/SyncTransfer.h"

#include <QList>
#include <optional>

// Everything the popover shows, read from the components at one moment.
struct PopoverState {
    bool signedIn = false;
    StorageMode mode = StorageMode::directMount;
    FileProviderStatus fileProvider{};
    DirectMountState directMount{};
    // From the settings copy the popover was built with.
    QString mountPoint{};
    QString apiURL{};

    UpdateCardState update{};
    FinderExtensionState finder = FinderExtensionState::enabled;
    bool onboardingSeen = false;
    ImportCardState import{};

    // The engines' upload activity.
    qint64 juicefsUploading = 0;
    qint64 juicefsStaging = 0;
    qint64 uploadBacklogBytes = 0;
    qint64 uploadedThisBurst = 0;
    double uploadRate = 0;
    std::optional<double> uploadETA{};

    // File-provider transfers in flight.
    QList<SyncTransfer> transfers{};

    // Workspace statistics.
    qint64 cloudUsedBytes = 0;
    qint64 cloudFileCount = 0;
    bool cloudStatsFailed = false;

    // The running application.
    QString appVersion{};
    QString appBuild{};

    bool operator==(const PopoverState&) const = default;
};
