#include "app/shell/HeadlessApp.h"

#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FreedesktopFileViewer.h"
#include "app/shell/ActivityLog.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/AppUI.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/StatusSnapshot.h"
#include "app/shell/TerminationSignals.h"
#include "platform/fileprovider/FileProviderDomainRegistry.h"

#include <QCoreApplication>
#include <QTextStream>

namespace HeadlessApp {

namespace {

QJsonObject answer(AppDelegate& delegate, const QJsonObject& request) {
    const QString command = request.value("command").toString();
    if (command == QLatin1String("status"))
        return StatusSnapshot::build(delegate);
    if (command == QLatin1String("didLogin")) {
        delegate.didLoginElsewhere();
        return {{"ok", true}};
    }
    if (command == QLatin1String("ping"))
        return {{"ok", true}};
    return {{"error", "unknown command"}};
}

QCoro::Task<> terminate(AppDelegate& delegate) {
    QTextStream(stdout) << "[Kelvane] quitting: unmounting drives" << Qt::endl;
    co_await delegate.applicationWillTerminate();
    QCoreApplication::quit();
}

} // namespace

int run() {
    UserDefaults defaults;
    const auto credentials = makeCredentialStore();
    Keychain keychain(*credentials);
    QNetworkAccessManager network;
    FileProviderDomainRegistry domains;
    FreedesktopFileViewer viewer;
    HeadlessUI ui;
    AppDelegate delegate(AppServices{defaults, keychain, network, domains, viewer}, ui);

    InstanceChannel channel;
    if (!channel.listen([&](const QJsonObject& r) { return answer(delegate, r); })) {
        QTextStream(stderr) << "Kelvane is already running." << Qt::endl;
        return 1;
    }
    ActivityLog log(delegate);
    TerminationSignals signals_;
    bool quitting = false;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &delegate, [&] {
        if (quitting) {
            QTextStream(stdout) << "[Kelvane] still unmounting; waiting for pending uploads"
                                << Qt::endl;
            return;
        }
        quitting = true;
        terminate(delegate);
    });
    delegate.applicationDidFinishLaunching();
    if (!delegate.apiClient().isLoggedIn())
        QTextStream(stdout) << "[Kelvane] not signed in; waiting for `kelvane sign-in`" << Qt::endl;
    return QCoreApplication::exec();
}

} // namespace HeadlessApp
