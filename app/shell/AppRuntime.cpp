#include "app/shell/AppRuntime.h"

#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/shell/ActivityLog.h"
#include "app/shell/AppCommands.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/BulkImporterControl.h"
#include "app/shell/DiagnosticsCommands.h"
#include "app/shell/ImportCommands.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/InstanceCommands.h"
#include "app/shell/LinkCommands.h"
#include "app/shell/QuitSequence.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/UpdateCommands.h"
#include "app/shell/UpdaterControl.h"
#include "platform/FreedesktopFileViewer.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/ConsoleLine.h"
#include "shared/WaitForTask.h"

#include <QTextStream>

AppRuntime::AppRuntime(AppUI& ui, Options options)
    : credentials_(makeCredentialStore()), keychain_(std::make_unique<Keychain>(*credentials_)),
      network_(std::make_unique<QNetworkAccessManager>()),
      domains_(std::make_unique<FileProviderDomainRegistry>()),
      viewer_(std::make_unique<FreedesktopFileViewer>()) {
    AppServices services{defaults_, *keychain_, *network_, *domains_, *viewer_};
    services.update.relaunchArguments = options.arguments;
    delegate_ = std::make_unique<AppDelegate>(std::move(services), ui);
    if (options.fileProvider)
        delegate_->overrideStorageMode(StorageMode::fileprovider);
    channel_ = std::make_unique<InstanceChannel>();
    quit_ = std::make_unique<QuitSequence>(*delegate_);
    importControl_ = std::make_unique<BulkImporterControl>(delegate_->importer());
    updateControl_ = std::make_unique<UpdaterControl>(delegate_->updater());
    commands_ = std::make_unique<AppCommands>(
        *delegate_, ui, *quit_,
        AppCommands::Components{importControl_.get(), updateControl_.get()});
}

AppRuntime::~AppRuntime() = default;

FileViewer& AppRuntime::viewer() {
    return *viewer_;
}

bool AppRuntime::claimInstance() {
    if (!channel_->listen()) {
        QTextStream(stderr) << "Kelvane is already running." << Qt::endl;
        return false;
    }
    InstanceCommands::registerCore(*channel_, *delegate_);
    ImportCommands::registerImport(*channel_, *delegate_);
    DiagnosticsCommands::registerDiagnostics(*channel_, *delegate_);
    UpdateCommands::registerUpdate(*channel_, *delegate_);
    LinkCommands::registerLinks(*channel_, *commands_);
    return true;
}

void AppRuntime::launch() {
    log_ = std::make_unique<ActivityLog>(delegate_->mountManager(), delegate_->syncStatus());
    QObject::connect(&delegate_->mountManager(), &MountManager::driveStayedMounted, delegate_.get(),
                     [](const QString&, const QString& mountPoint, const QString& reason) {
                         ConsoleLine::app(QStringLiteral("%1 stayed mounted (%2); its engine "
                                                         "keeps running until it is unmounted")
                                              .arg(mountPoint, reason));
                     });
    signals_ = std::make_unique<TerminationSignals>();
    QObject::connect(signals_.get(), &TerminationSignals::terminationRequested, quit_.get(),
                     &QuitSequence::request);
    QObject::connect(delegate_.get(), &AppDelegate::quitRequested, quit_.get(),
                     &QuitSequence::request, Qt::QueuedConnection);
    // The keychain is read once, on its worker, before anything asks whether a token is stored.
    WaitForTask::run(delegate_->apiClient().reloadToken());
    delegate_->applicationDidFinishLaunching();
    if (delegate_->apiClient().tokenState() == APIClient::TokenState::unavailable)
        ConsoleLine::app(QStringLiteral("the keyring is locked or not answering; waiting for it"));
    else if (!delegate_->apiClient().isLoggedIn())
        ConsoleLine::app(QStringLiteral("not signed in; waiting for `kelvane sign-in`"));
}
