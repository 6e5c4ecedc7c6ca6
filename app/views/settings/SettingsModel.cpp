#include "app/views/settings/SettingsModel.h"

#include "app/api/ConnectionAdvice.h"
#include "app/mount/MountError.h"
#include "app/mount/MountManager.h"
#include "platform/DistributionPackages.h"

namespace SettingsModel {

QList<Tab> tabs() {
    return {{"drives", "Drives"}, {"account", "Account"}, {"advanced", "Advanced"}};
}

QString headerSubtitle(bool signedIn, const QString& workspaceName) {
    if (!signedIn)
        return QStringLiteral("Sign in to your workspace");
    return workspaceName + " workspace";
}

QString workspaceName(const std::optional<User>& user, const std::optional<QUrl>& server) {
    if (user) {
        const QString domain = user->email.section(QLatin1Char('@'), 1);
        const QString first = domain.section(QLatin1Char('.'), 0, 0);
        if (!first.isEmpty())
            return first.left(1).toUpper() + first.mid(1);
    }
    if (server && !server->host().isEmpty())
        return server->host();
    return QStringLiteral("Your");
}

QString signInButtonTitle(bool loading) {
    return loading ? QStringLiteral("Signing in…") : QStringLiteral("Sign In");
}

QString loginErrorText(const QString& description) {
    if (const auto advice = ConnectionAdvice::forFailure(description))
        return description + "\n" + *advice;
    return description;
}

DriveStatus statusFor(const Filespace& filespace, const MountStateMap& states) {
    const DirectMountState state = states.value(filespace.id);
    switch (state.kind()) {
    case DirectMountState::Kind::mounted:
        return {"Mounted", ViewColor::green};
    case DirectMountState::Kind::error:
        return {state.message(), ViewColor::red};
    case DirectMountState::Kind::mounting:
        return {"Mounting…", ViewColor::blue};
    case DirectMountState::Kind::inactive:
        break;
    }
    return {"Not mounted", ViewColor::secondary};
}

QString filespacesLine(const QString& mountPoint) {
    return "Each filespace mounts as its own drive under " + mountPoint;
}

QString noFilespacesText() {
    return QStringLiteral("No filespaces yet — they'll appear here once your workspace has one.");
}

QString cacheSizeLabel(qint64 cacheSizeMB) {
    return "CACHE SIZE — " + QString::number(cacheSizeMB / 1024) + " GB";
}

QString updateStatusText(const UpdateCardState& update) {
    switch (update.kind) {
    case UpdateCardState::Kind::available:
        return "Kelvane " + update.release.version + " (" + update.release.build +
               ") is available.";
    case UpdateCardState::Kind::failed:
        return update.message;
    case UpdateCardState::Kind::downloading:
        return QStringLiteral("Downloading…");
    case UpdateCardState::Kind::installing:
        return QStringLiteral("Installing…");
    default:
        return "You're on " + update.currentVersion + " (" + update.currentBuild + ").";
    }
}

QString checkNowTitle(const UpdateCardState& update) {
    return update.kind == UpdateCardState::Kind::checking ? QStringLiteral("Checking…")
                                                          : QStringLiteral("Check Now");
}

FinderSection finderSection(FinderExtensionState state) {
    switch (state) {
    case FinderExtensionState::enabled:
        return {"On", "Settings", {}};
    case FinderExtensionState::disabled:
        return {"Off", "Enable", {}};
    case FinderExtensionState::notInstalled:
        break;
    }
    return {"Not installed",
            {},
            "This build doesn't include the file manager extension — reinstall Kelvane from "
            "your workspace's downloads page."};
}

FolderRequest mountPointRequest(const QString& current) {
    return {"Select Folder",
            "Where to mount Kelvane. Pick a folder INSIDE a drive, not the drive's root.", current};
}

FolderRequest cacheDirectoryRequest(const QString& current) {
    return {"Select Folder", "Where to cache file blocks. Keep on fast local storage.", current};
}

std::optional<QString> mountPointProblem(const QString& folder) {
    try {
        MountManager::validateMountPoint(folder);
        return std::nullopt;
    } catch (const KelvaneError& error) {
        return error.description();
    }
}

QString fuseCardTitle() {
    return QStringLiteral("FUSE required — install the fuse3 package");
}

QString fuseCardText() {
    return MountError::missingFUSE().description();
}

QUrl fuseHelpPage() {
    return DistributionPackages::helpPage(QStringLiteral("fuse3"),
                                          QStringLiteral("https://github.com/libfuse/libfuse"));
}

QString diagnosticsText() {
    return QStringLiteral("Saves a report to your Desktop — mount state, versions and the "
                          "drive's log, with passwords removed.");
}

} // namespace SettingsModel
