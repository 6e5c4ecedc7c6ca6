#include "app/views/popover/MenuBarModel.h"

#include "app/api/APIClient.h"
#include "app/views/common/Formatting.h"

#include <QFileInfo>

using Formatting::formatBytes;
using Formatting::formatDuration;

namespace MenuBarModel {

namespace {

StatusSummary forFileProvider(const FileProviderStatus& status) {
    switch (status.kind()) {
    case FileProviderStatus::Kind::registered:
        return {"Kelvane", ViewColor::green, "externaldrive.fill"};
    case FileProviderStatus::Kind::unregistered:
    case FileProviderStatus::Kind::registering:
        return {"Connecting…", ViewColor::orange, "externaldrive"};
    case FileProviderStatus::Kind::failed:
        return {"Error: " + Formatting::cutStatusMessage(status.text()), ViewColor::red,
                "exclamationmark.triangle.fill"};
    }
    return {};
}

StatusSummary forDirectMount(const DirectMountState& state) {
    switch (state.kind()) {
    case DirectMountState::Kind::mounted:
        return {"Kelvane", ViewColor::green, "externaldrive.fill"};
    case DirectMountState::Kind::mounting:
        return {"Mounting…", ViewColor::orange, "externaldrive"};
    case DirectMountState::Kind::inactive:
        return {"Connecting…", ViewColor::orange, "externaldrive"};
    case DirectMountState::Kind::error:
        return {"Error: " + Formatting::cutStatusMessage(state.message()), ViewColor::red,
                "exclamationmark.triangle.fill"};
    }
    return {};
}

} // namespace

StatusSummary statusSummary(const PopoverState& state) {
    StatusSummary summary = state.mode == StorageMode::fileprovider
                                ? forFileProvider(state.fileProvider)
                                : forDirectMount(state.directMount);
    if (!state.signedIn) {
        summary.label = QStringLiteral("Not signed in");
        summary.color = ViewColor::secondary;
    }
    return summary;
}

bool isUploading(const PopoverState& state) {
    return state.mode == StorageMode::directMount &&
           (state.juicefsUploading >= 1 || state.juicefsStaging >= 1 ||
            state.uploadBacklogBytes >= 1);
}

bool isDriveUp(const PopoverState& state) {
    if (state.mode == StorageMode::fileprovider)
        return state.fileProvider.kind() == FileProviderStatus::Kind::registered;
    return state.directMount.isMounted();
}

QList<PopoverRow> driveRows(const PopoverState& state) {
    if (!isDriveUp(state))
        return {};
    return {
        {"folder", "Open in File Manager", {}, PopoverAction::openInFileManager},
        {"square.and.arrow.down", "Import Folder…", {}, PopoverAction::importFolder},
        {"globe", "Open Web Browser", {}, PopoverAction::openWebBrowser},
        {"cloud", "Cloud", cloudRowText(state), PopoverAction::none},
    };
}

QList<PopoverRow> bottomRows(const PopoverState& state) {
    const bool available = state.update.kind == UpdateCardState::Kind::available;
    return {
        {"arrow.down.circle",
         updateButtonTitle(state.update),
         {},
         available ? PopoverAction::installUpdate : PopoverAction::checkForUpdates},
        {"gear", "Settings…", {}, PopoverAction::openSettings},
        {"power", "Quit Kelvane", {}, PopoverAction::quit},
    };
}

PopoverContent content(const PopoverState& state) {
    return {statusSummary(state), cards(state), driveRows(state), bottomRows(state),
            footerText(state.appVersion, state.appBuild)};
}

QString uploadDetailLine(qint64 uploadedThisBurst, double uploadRate,
                         std::optional<double> uploadETA) {
    QStringList parts;
    if (uploadedThisBurst >= 1)
        parts << formatBytes(uploadedThisBurst) + " uploaded";
    if (uploadRate > 0)
        parts << formatBytes(static_cast<qint64>(uploadRate)) + "/s";
    if (uploadETA)
        parts << "about " + formatDuration(*uploadETA) + " left";
    else
        parts << (uploadRate != 0 ? QStringLiteral("estimating…")
                                  : QStringLiteral("waiting for the network"));
    return parts.join(QStringLiteral(" · "));
}

QString syncStatusHeadline(qsizetype uploads, qsizetype downloads) {
    if (uploads > 0 && downloads > 0)
        return "Syncing " + QString::number(uploads + downloads) + " items";
    if (uploads > 0)
        return "Uploading " + QString::number(uploads) + " item" + (uploads == 1 ? "" : "s");
    if (downloads > 0)
        return "Downloading " + QString::number(downloads) + " item" + (downloads == 1 ? "" : "s");
    return QStringLiteral("Idle");
}

QString importLine(const ImportCardState& p) {
    QStringList parts;
    parts << QString::number(p.handled) + " of " + QString::number(p.scanned) +
                 (p.scanning ? "+ files" : " files");
    if (p.copiedBytes >= 1)
        parts << formatBytes(p.copiedBytes);
    if (p.rate > 0)
        parts << formatBytes(static_cast<qint64>(p.rate)) + "/s";
    if (p.eta)
        parts << "about " + formatDuration(*p.eta) + " left";
    if (p.failed >= 1)
        parts << QString::number(p.failed) + " failed";
    return parts.join(QStringLiteral(" · "));
}

QString importSummary(const ImportCardState& p) {
    QString summary = QString::number(p.copied) + " files · " + formatBytes(p.copiedBytes) + " · " +
                      formatDuration(p.seconds);
    if (p.failed > 0)
        summary += " · " + QString::number(p.failed) + " failed";
    return summary;
}

QString updateButtonTitle(const UpdateCardState& update) {
    switch (update.kind) {
    case UpdateCardState::Kind::available:
        return QStringLiteral("Install Update");
    case UpdateCardState::Kind::checking:
        return QStringLiteral("Checking for Updates…");
    case UpdateCardState::Kind::downloading:
        return QStringLiteral("Downloading Update…");
    case UpdateCardState::Kind::installing:
        return QStringLiteral("Installing Update…");
    default:
        return QStringLiteral("Check for Updates…");
    }
}

QString cloudRowText(const PopoverState& state) {
    if (state.cloudUsedBytes >= 1)
        return QString::number(state.cloudFileCount) + " files, " +
               formatBytes(state.cloudUsedBytes);
    if (state.cloudStatsFailed)
        return QStringLiteral("—");
    return QStringLiteral("Loading…");
}

QString transferRowText(const SyncTransfer& transfer) {
    QString name = QFileInfo(transfer.path).fileName();
    if (name.isEmpty())
        name = transfer.path;
    if (transfer.totalBytes <= 0)
        return name;
    return name + " — " + formatBytes(transfer.bytesTransferred) + " of " +
           formatBytes(transfer.totalBytes);
}

QString footerText(const QString& version, const QString& build) {
    return "Kelvane " + version + " (" + build + ")";
}

std::optional<QUrl> webAddress(const QString& apiURL) {
    auto url = APIClient::parseServerURL(apiURL);
    if (!url)
        return std::nullopt;
    // Only whole "api" path steps go: the host (api.example.com) and other steps stay.
    QStringList steps = url->path().split(QLatin1Char('/'));
    steps.removeAll(QStringLiteral("api"));
    QString path = steps.join(QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    url->setPath(path);
    return url;
}

} // namespace MenuBarModel
