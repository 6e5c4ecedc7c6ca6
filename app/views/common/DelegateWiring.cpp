#include "app/views/common/DelegateWiring.h"

#include "app/diagnostics/Diagnostics.h"
#include "app/finder/FinderExtension.h"
#include "app/import/BulkImporter.h"
#include "app/shell/AppDelegate.h"
#include "app/update/Updater.h"
#include "app/views/common/ComponentCards.h"
#include "platform/FileViewer.h"
#include "platform/LaunchAtLogin.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>
#include <memory>

namespace DelegateWiring {

namespace {

// Remembers what a worker asked the file manager to show, for the main thread to show it.
class RecordedViewer : public FileViewer {
public:
    void openFolder(const QString& path) override { calls.append({true, path}); }
    void selectItem(const QString& path) override { calls.append({false, path}); }
    void replay(FileViewer& viewer) const {
        for (const auto& [folder, path] : calls) {
            if (folder)
                viewer.openFolder(path);
            else
                viewer.selectItem(path);
        }
    }
    QList<std::pair<bool, QString>> calls;
};

ChangeHook updateChanged(AppDelegate& delegate) {
    return [&updater = delegate.updater()](QObject* context, std::function<void()> handler) {
        QObject::connect(&updater, &Updater::stateChanged, context, std::move(handler));
    };
}

std::function<QCoro::Task<FinderExtensionState>()> finderState(QPointer<AppDelegate> owner) {
    return [owner]() -> QCoro::Task<FinderExtensionState> {
        if (!owner)
            co_return FinderExtensionState::notInstalled;
        co_await owner->refreshFinderExtensionState();
        co_return owner ? owner->finderExtensionState() : FinderExtensionState::notInstalled;
    };
}

} // namespace

QCoro::Task<FinderExtensionState> enableFinderExtension(AppDelegate& delegate, FileViewer& viewer) {
    const QPointer<AppDelegate> owner(&delegate);
    // A copy (it is only its options), so the worker never reaches into a delegate that is gone.
    const FinderExtension extension = delegate.finderExtension();
    auto recorded = std::make_shared<RecordedViewer>();
    QFuture<FinderExtensionState> done =
        QtConcurrent::run([extension, recorded] { return extension.enable(*recorded); });
    FinderExtensionState state = co_await done;
    recorded->replay(viewer);
    if (owner) {
        co_await owner->refreshFinderExtensionState();
        if (owner)
            state = owner->finderExtensionState();
    }
    co_return state;
}

MenuBarCommands popoverCommands(AppDelegate& delegate, FileViewer& viewer,
                                MenuBarCommands commands) {
    const QPointer<AppDelegate> owner(&delegate);
    if (!commands.onEnableFinderExtension) {
        commands.onEnableFinderExtension = [owner, &viewer] {
            // Not awaited: the new state reaches the popover through the delegate's signal.
            if (owner)
                enableFinderExtension(*owner, viewer);
        };
    }
    if (!commands.onOpenSettings) {
        commands.onOpenSettings = [owner] {
            if (owner)
                owner->openSettings();
        };
    }
    return commands;
}

PopoverComponents popover(AppDelegate& delegate, UserDefaults& defaults, FileViewer& viewer) {
    const QPointer<AppDelegate> owner(&delegate);
    const FinderExtensionState initial = delegate.finderExtensionState();
    return PopoverComponents{
        .mountManager = delegate.mountManager(),
        .apiClient = delegate.apiClient(),
        .fileProvider = delegate.fileProvider(),
        .syncStatus = delegate.syncStatus(),
        .defaults = defaults,
        .viewer = viewer,
        .settings = delegate.settings(),
        .mode = delegate.storageMode(),
        .finder = initial,
        .finderNow = [owner, initial] { return owner ? owner->finderExtensionState() : initial; },
        .finderChanged =
            [owner](QObject* context, std::function<void()> handler) {
                if (owner)
                    QObject::connect(owner, &AppDelegate::finderExtensionStateChanged, context,
                                     std::move(handler));
            },
        .update = [&updater = delegate.updater()] { return ComponentCards::updateCard(updater); },
        .updateChanged = updateChanged(delegate),
        .import =
            [&importer = delegate.importer()] {
                return ComponentCards::importCard(importer.state());
            },
        .importChanged =
            [&importer = delegate.importer()](QObject* context, std::function<void()> handler) {
                QObject::connect(&importer, &BulkImporter::stateChanged, context,
                                 std::move(handler));
            },
        .cancelImport = [&importer = delegate.importer()] { importer.cancel(); },
    };
}

SettingsComponents settings(AppDelegate& delegate, FileViewer& viewer, Prompts& prompts,
                            const MenuBarCommands& commands) {
    QPointer<AppDelegate> owner(&delegate);
    return SettingsComponents{
        .apiClient = delegate.apiClient(),
        .mountManager = delegate.mountManager(),
        .viewer = viewer,
        .prompts = prompts,
        .settings = delegate.settings(),
        .onSettingsSaved =
            [owner](const AppSettings& saved) {
                if (owner)
                    owner->settingsSaved(saved);
            },
        .onCheckForUpdates = commands.onCheckForUpdates,
        .onDidLogin =
            [owner] {
                if (owner)
                    owner->didLogin();
            },
        .onSignOut = [owner]() -> QCoro::Task<> {
            if (owner)
                co_await owner->signOut();
        },
        .update = [&updater = delegate.updater()] { return ComponentCards::updateCard(updater); },
        .updateChanged = updateChanged(delegate),
        .launchAtLoginProblem = []() -> std::optional<QString> {
            const QString problem = LaunchAtLogin::problemText();
            return problem.isEmpty() ? std::nullopt : std::optional(problem);
        },
        .finderState = finderState(owner),
        .enableFinderExtension = [owner, &viewer]() -> QCoro::Task<FinderExtensionState> {
            if (!owner)
                co_return FinderExtensionState::notInstalled;
            co_return co_await enableFinderExtension(*owner, viewer);
        },
        .initialFinderState = delegate.finderExtensionState(),
        .exportDiagnostics = [owner](AppSettings current) -> QCoro::Task<std::optional<QString>> {
            if (!owner)
                co_return std::nullopt;
            Diagnostics::Sources sources = co_await owner->diagnosticsSources();
            sources.settings = std::move(current);
            co_return co_await Diagnostics::exportReport(std::move(sources));
        },
    };
}

} // namespace DelegateWiring
