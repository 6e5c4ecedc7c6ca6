#include "app/shell/AppCommands.h"

#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/api/APIError.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/AppUI.h"
#include "app/shell/KelvaneLink.h"
#include "app/shell/QuitGuard.h"
#include "app/shell/QuitSequence.h"
#include "app/shell/ShellLogging.h"
#include "platform/UserDefaults.h"

AppCommands::AppCommands(AppDelegate& delegate, AppUI& ui, QuitSequence& quit,
                         Components components, QObject* parent)
    : QObject(parent), delegate_(delegate), ui_(ui), quit_(quit), components_(components) {
    pendingLinkExpiry_.setSingleShot(true);
    pendingLinkExpiry_.setInterval(kLinkWaitLimit);
    connect(&pendingLinkExpiry_, &QTimer::timeout, this, [this] {
        if (pendingLink_)
            qCInfo(lcShell, "link dropped: no drive for it was mounted in time");
        pendingLink_.reset();
    });
    connect(&delegate_.mountManager(), &MountManager::directMountStateChanged, this,
            &AppCommands::retryPendingLink);
}

bool AppCommands::handleURLEvent(const QString& text) {
    const auto path = KelvaneLink::workspacePath(text);
    if (!path)
        return false;
    if (delegate_.storageMode() == StorageMode::fileprovider) {
        delegate_.fileProvider().reveal(*path);
        emit linkRevealed(*path);
        return true;
    }
    // A link that starts Kelvane arrives before the drives are up: it waits for them.
    const DirectMountState::Kind state = delegate_.mountManager().directMountState().kind();
    const bool drivesComing =
        state == DirectMountState::Kind::mounting ||
        (state == DirectMountState::Kind::inactive && delegate_.apiClient().isLoggedIn());
    if (drivesComing) {
        pendingLink_ = *path;
        pendingLinkExpiry_.start();
        return true;
    }
    reveal(*path);
    return true;
}

void AppCommands::reveal(const QString& path) {
    delegate_.mountManager().revealAndWarm(path);
    emit linkRevealed(path);
}

void AppCommands::retryPendingLink() {
    const DirectMountState::Kind state = delegate_.mountManager().directMountState().kind();
    if (!pendingLink_ || state == DirectMountState::Kind::mounting ||
        state == DirectMountState::Kind::inactive)
        return;
    const QString path = *std::exchange(pendingLink_, std::nullopt);
    pendingLinkExpiry_.stop();
    reveal(path);
}

void AppCommands::applicationShouldTerminate() {
    if (quit_.isQuitting()) {
        quit_.request();
        return;
    }
    if (quitAlertShown_)
        return;
    const SyncStatusReader& activity = delegate_.syncStatus();
    const auto alert = QuitGuard::alertFor(activity.uploadBacklogBytes(),
                                           activity.juicefsUploading() + activity.juicefsStaging());
    if (!alert) {
        quit_.request();
        return;
    }
    quitAlertShown_ = true;
    ui_.activateApplication();
    QPointer<AppCommands> self(this);
    ui_.showAlert(*alert, [self](int button) {
        if (!self)
            return;
        self->quitAlertShown_ = false;
        if (button != 1 || self->quit_.isQuitting())
            return;
        // The user chose not to wait: unmount, and stop waiting for the engines' uploads.
        self->quit_.request();
        self->quit_.request();
    });
}

void AppCommands::sessionEnding() {
    if (!quit_.isQuitting())
        quit_.request();
}

void AppCommands::importFolder() {
    const QList<Filespace> filespaces = delegate_.mountManager().filespaces();
    if (filespaces.isEmpty()) {
        ui_.showAlert({Alert::Style::warning,
                       QStringLiteral("No drive available"),
                       QStringLiteral("Wait for Kelvane to finish mounting, then try again."),
                       {QStringLiteral("OK")}},
                      [](int) {});
        return;
    }
    const Filespace filespace = filespaces.first();
    const auto engine = delegate_.mountManager().juicefsBinary();
    if (!engine) {
        ui_.showAlert({Alert::Style::warning,
                       QStringLiteral("Drive engine missing"),
                       QStringLiteral("Kelvane couldn't find its juicefs binary. Reinstall the "
                                      "app."),
                       {QStringLiteral("OK")}},
                      [](int) {});
        return;
    }
    ui_.closePopover();
    ui_.activateApplication();
    QPointer<AppCommands> self(this);
    ui_.chooseFolder({QStringLiteral("Import"), QStringLiteral("Choose a folder to copy into "
                                                               "Kelvane.")},
                     [self, filespace, binary = *engine](std::optional<QString> folder) {
                         if (!self || !folder || folder->isEmpty())
                             return;
                         if (!self->components_.importer) {
                             qCWarning(lcShell, "folder import is not part of this build");
                             return;
                         }
                         self->components_.importer->start(*folder, filespace, binary,
                                                           std::nullopt);
                     });
}

std::optional<QString> AppCommands::siteURL() const {
    const QString apiURL = delegate_.settings().apiURL;
    if (!apiURL.isEmpty())
        return apiURL;
    return delegate_.defaults().string(DefaultsKeys::kApiURL);
}

void AppCommands::checkForUpdates(bool manual) {
    if (!components_.updater) {
        if (manual)
            ui_.showAlert({Alert::Style::warning,
                           QStringLiteral("Couldn't check for updates"),
                           QStringLiteral("This build of Kelvane has no updater."),
                           {QStringLiteral("OK")}},
                          [](int) {});
        return;
    }
    components_.updater->setSiteURL(siteURL());
    runCheck(manual);
}

QCoro::Task<> AppCommands::runCheck(bool manual) {
    QPointer<AppCommands> self(this);
    co_await components_.updater->check(manual);
    if (self && manual)
        self->reportManualCheck();
}

void AppCommands::reportManualCheck() {
    if (!components_.updater)
        return;
    ui_.activateApplication();
    const UpdateStatus state = components_.updater->state();
    switch (state.kind) {
    case UpdateStatus::Kind::available:
        if (state.release)
            promptToInstall(*state.release);
        break;
    case UpdateStatus::Kind::failed:
        ui_.showAlert({Alert::Style::warning,
                       QStringLiteral("Couldn't check for updates"),
                       state.message,
                       {QStringLiteral("OK")}},
                      [](int) {});
        break;
    case UpdateStatus::Kind::upToDate:
        ui_.showAlert({Alert::Style::informational,
                       QStringLiteral("You're up to date"),
                       QStringLiteral("Kelvane ") + components_.updater->currentVersion() +
                           QStringLiteral(" (") + components_.updater->currentBuild() +
                           QStringLiteral(") is the latest build."),
                       {QStringLiteral("OK")}},
                      [](int) {});
        break;
    default:
        break;
    }
}

void AppCommands::promptToInstall(const ReleaseInfo& release) {
    if (!components_.updater)
        return;
    ui_.activateApplication();
    const Alert alert{
        Alert::Style::informational,
        QStringLiteral("Kelvane ") + release.version + QStringLiteral(" is available"),
        QStringLiteral("You're running ") + components_.updater->currentVersion() +
            QStringLiteral(" (") + components_.updater->currentBuild() +
            QStringLiteral(").\nInstalling quits Kelvane, replaces it, and starts it again — "
                           "your drives will be unmounted for a few seconds."),
        {QStringLiteral("Install and Relaunch"), QStringLiteral("Later")},
        1};
    QPointer<AppCommands> self(this);
    ui_.showAlert(alert, [self, release](int button) {
        if (self && button == 0)
            self->runInstall(release);
    });
}

QCoro::Task<> AppCommands::runInstall(ReleaseInfo release) {
    QPointer<AppCommands> self(this);
    co_await components_.updater->downloadAndInstall(release);
    if (!self || !self->components_.updater)
        co_return;
    const UpdateStatus state = self->components_.updater->state();
    if (state.kind == UpdateStatus::Kind::failed)
        self->ui_.showAlert(
            {Alert::Style::warning, QStringLiteral("Update failed"), state.message, {}},
            [](int) {});
}

QCoro::Task<> AppCommands::popoverOpened() {
    APIClient& api = delegate_.apiClient();
    if (!api.isLoggedIn())
        co_return;
    QPointer<AppCommands> self(this);
    bool refreshStats = false;
    try {
        co_await api.fetchMe();
        refreshStats = true;
    } catch (const APIError& e) {
        if (self && e.kind() == APIError::Kind::unauthorized)
            self->delegate_.apiClient().logout();
    } catch (...) {
        // Offline or a server hiccup: the popover shows what it has.
    }
    if (self && refreshStats)
        co_await self->delegate_.mountManager().refreshCloudStats();
}
