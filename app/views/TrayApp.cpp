#include "app/views/TrayApp.h"

#include "app/shell/AppCommands.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/AppRuntime.h"
#include "app/shell/ClipboardCommands.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/LinkCommands.h"
#include "app/views/QtUI.h"
#include "app/views/TrayWindows.h"
#include "app/views/ViewsLogging.h"
#include "platform/SchemeHandler.h"
#include "platform/clipboard/QtTextClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QSessionManager>
#include <QTextStream>

namespace TrayApp {

namespace {

bool hasDesktopSession() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// True when a running instance took the link.
bool handOver(const QString& link) {
    const auto reply = InstanceChannel::ask(
        {{"command", QString::fromLatin1(LinkCommands::kCommand)}, {"url", link}});
    if (!reply)
        return false;
    if (reply->contains("error"))
        QTextStream(stderr) << "kelvane: " << reply->value("error").toString() << Qt::endl;
    return true;
}

} // namespace

bool wanted(int argc, char** argv) {
    if (!hasDesktopSession())
        return false;
    if (argc == 1)
        return true;
    return argc == 2 && QByteArray(argv[1]).startsWith("kelvane:");
}

int run(const std::optional<QString>& link) {
    if (link && handOver(*link))
        return 0;
    QApplication::setQuitOnLastWindowClosed(false);
    QtUI ui;
    // The tray owns the desktop clipboard for as long as it runs, so text other programs hand
    // it ("Copy Kelvane Link") stays pasteable after they exit. Outlives the channel's handler.
    QtTextClipboard clipboard(*QGuiApplication::clipboard());
    AppRuntime runtime(ui, {});
    if (!runtime.claimInstance()) {
        // Another instance started meanwhile: it takes the link.
        return link && handOver(*link) ? 0 : 1;
    }
    ui.attach(runtime.delegate(), runtime.commands());
    TrayWindows windows(ui, runtime);
    ClipboardCommands::registerClipboard(runtime.channel(), clipboard);
    runtime.channel().handle(
        "tray", InstanceChannel::Answer([&ui](const QJsonObject&) { return ui.describe(); }));
    if (!SchemeHandler::install(QCoreApplication::applicationFilePath()))
        qCWarning(lcTray, "could not register as the handler of kelvane: links");

    // The desktop session is ending: nobody will answer an alert, and staged data is safe on
    // disk, so quit without asking.
    AppCommands& commands = runtime.commands();
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &ui,
                     [&ui, &commands](QSessionManager&) {
                         ui.dismissAlerts();
                         commands.sessionEnding();
                     });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &ui, [&ui] { ui.dismissAlerts(); });

    runtime.launch();
    if (link)
        commands.handleURLEvent(*link);
    return QApplication::exec();
}

} // namespace TrayApp
