#include "app/shell/HeadlessApp.h"

#include "app/api/APIClient.h"
#include "app/mount/MountManager.h"
#include "app/shell/ActivityLog.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/AppUI.h"
#include "app/shell/DiagnosticsCommands.h"
#include "app/shell/ImportCommands.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/InstanceCommands.h"
#include "app/shell/QuitSequence.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/UpdateCommands.h"
#include "platform/FreedesktopFileViewer.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"
#include "shared/ConsoleLine.h"
#include "shared/WaitForTask.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTextStream>

namespace HeadlessApp {

namespace {

bool trustCertificates(const QString& file) {
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(file, QSsl::Pem);
    if (certificates.isEmpty()) {
        QTextStream(stderr) << "No certificate could be read from " << file << Qt::endl;
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(certificates);
    QSslConfiguration::setDefaultConfiguration(configuration);
    return true;
}

} // namespace

int run(Options options) {
    if (!options.caCertificates.isEmpty() && !trustCertificates(options.caCertificates))
        return 2;
    UserDefaults defaults;
    const auto credentials = makeCredentialStore();
    Keychain keychain(*credentials);
    QNetworkAccessManager network;
    FileProviderDomainRegistry domains;
    FreedesktopFileViewer viewer;
    HeadlessUI ui;
    AppServices services{defaults, keychain, network, domains, viewer};
    services.update.relaunchArguments = options.arguments;
    AppDelegate delegate(std::move(services), ui);
    if (options.fileProvider)
        delegate.overrideStorageMode(StorageMode::fileprovider);

    InstanceChannel channel;
    if (!channel.listen()) {
        QTextStream(stderr) << "Kelvane is already running." << Qt::endl;
        return 1;
    }
    InstanceCommands::registerCore(channel, delegate);
    ImportCommands::registerImport(channel, delegate);
    DiagnosticsCommands::registerDiagnostics(channel, delegate);
    UpdateCommands::registerUpdate(channel, delegate);
    ActivityLog log(delegate.mountManager(), delegate.syncStatus());
    QObject::connect(&delegate.mountManager(), &MountManager::driveStayedMounted, &delegate,
                     [](const QString&, const QString& mountPoint, const QString& reason) {
                         ConsoleLine::app(QStringLiteral("%1 stayed mounted (%2); its engine "
                                                         "keeps running until it is unmounted")
                                              .arg(mountPoint, reason));
                     });
    QuitSequence quit(delegate);
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &quit,
                     &QuitSequence::request);
    QObject::connect(&delegate, &AppDelegate::quitRequested, &quit, &QuitSequence::request,
                     Qt::QueuedConnection);
    // The keychain is read once, on its worker, before anything asks whether a token is stored.
    WaitForTask::run(delegate.apiClient().reloadToken());
    delegate.applicationDidFinishLaunching();
    if (delegate.apiClient().tokenState() == APIClient::TokenState::unavailable)
        ConsoleLine::app(QStringLiteral("the keyring is locked or not answering; waiting for it"));
    else if (!delegate.apiClient().isLoggedIn())
        ConsoleLine::app(QStringLiteral("not signed in; waiting for `kelvane sign-in`"));
    return QCoreApplication::exec();
}

} // namespace HeadlessApp
