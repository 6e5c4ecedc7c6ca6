#include "findersync/FinderSyncHost.h"

#include "findersync/ClipboardHandOff.h"
#include "findersync/FinderSync.h"
#include "findersync/ShareLink.h"
#include "platform/Paths.h"
#include "platform/UrlOpener.h"
#include "platform/findersync/FinderSyncController.h"
#include "shared/FinderSyncConfig.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace FinderSyncHost {

namespace {

const char* const kUsage = "Usage: kelvane-findersync COMMAND [PATH…]\n"
                           "  menu [--kind items|container|sidebar|toolbar] PATH…\n"
                           "  copy-link PATH…\n"
                           "  open-on-web PATH…\n"
                           "  watch\n"
                           "  in-drive PATH…\n";

void print(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QList<QByteArray> selectionFrom(const QList<QByteArray>& arguments) {
    QList<QByteArray> items;
    for (const QByteArray& argument : arguments) {
        const QByteArray path = ShareLink::pathFromArgument(argument);
        if (!path.isEmpty())
            items.append(ShareLink::cleanAbsolute(path));
    }
    return items;
}

// Nautilus hands a script the selection in its environment, newline-separated. The URI list
// is preferred: a name holding a newline cannot be told apart in the path list.
QList<QByteArray> nautilusSelection(const QList<QByteArray>& arguments) {
    const QByteArray uris = qgetenv("NAUTILUS_SCRIPT_SELECTED_URIS");
    const QByteArray paths = qgetenv("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS");
    QList<QByteArray> listed;
    for (const QByteArray& line : (uris.isEmpty() ? paths : uris).split('\n')) {
        if (!line.isEmpty())
            listed.append(line);
    }
    return selectionFrom(listed.isEmpty() ? arguments : listed);
}

std::optional<FinderMenu::Kind> kindNamed(const QByteArray& name) {
    if (name == "items")
        return FinderMenu::Kind::contextualMenuForItems;
    if (name == "container")
        return FinderMenu::Kind::contextualMenuForContainer;
    if (name == "sidebar")
        return FinderMenu::Kind::sidebar;
    if (name == "toolbar")
        return FinderMenu::Kind::toolbar;
    return std::nullopt;
}

int printMenu(FinderSync& finder, FinderSyncController& controller, QList<QByteArray> rest) {
    auto kind = FinderMenu::Kind::contextualMenuForItems;
    if (rest.size() >= 2 && rest.first() == "--kind") {
        const auto named = kindNamed(rest.at(1));
        if (!named) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        kind = *named;
        rest = rest.mid(2);
    }
    controller.setSelectedItemURLs(selectionFrom(rest));
    const auto menu = finder.menu(kind);
    if (!menu)
        return 0;
    QString text = menu->title + QLatin1Char('\n');
    for (const FinderMenu::Item& item : menu->items)
        text += QStringLiteral("  %1 (%2)\n").arg(item.title, item.image);
    print(text);
    return 0;
}

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

int watch(FinderSync& finder) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return 1;
    std::signal(SIGTERM, onTerminationSignal);
    std::signal(SIGINT, onTerminationSignal);
    QSocketNotifier stop(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    QObject::connect(&finder, &FinderSync::watching,
                     [](const QString& line) { print(line + QLatin1Char('\n')); });
    finder.startRefreshing();
    return QCoreApplication::exec();
}

int run(FinderSync& finder, FinderSyncController& controller, const QByteArray& command,
        const QList<QByteArray>& rest) {
    if (command == "menu")
        return printMenu(finder, controller, rest);
    if (command == "copy-link") {
        controller.setSelectedItemURLs(selectionFrom(rest));
        return finder.copyLink() ? 0 : 1;
    }
    if (command == "open-on-web") {
        controller.setSelectedItemURLs(selectionFrom(rest));
        return finder.openOnWeb() ? 0 : 1;
    }
    if (command == "watch")
        return watch(finder);
    if (command == "in-drive") {
        const QStringList candidates = finder.candidateDirectories();
        controller.setDirectoryURLs(QSet<QString>(candidates.cbegin(), candidates.cend()));
        for (const QByteArray& item : selectionFrom(rest)) {
            if (controller.covers(item))
                return 0;
        }
        return 1;
    }
    if (command == "nautilus-script" && rest.size() >= 2 &&
        (rest.first() == "copy-link" || rest.first() == "open-on-web")) {
        controller.setSelectedItemURLs(nautilusSelection(rest.mid(2)));
        return (rest.first() == "copy-link" ? finder.copyLink() : finder.openOnWeb()) ? 0 : 1;
    }
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int run(const QList<QByteArray>& arguments) {
    if (arguments.size() < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    FinderSyncController controller;
    const QString bin = QCoreApplication::applicationDirPath();
    ClipboardHandOff pasteboard(
        {Paths::instanceSocket(), bin + QStringLiteral("/kelvane-clipboard")});
    UrlOpener workspace(Paths::urlOpener());
    FinderSync finder(
        {controller, pasteboard, workspace, FinderSyncConfig::configFile(), Paths::realHome()});
    return run(finder, controller, arguments.at(1), arguments.mid(2));
}

} // namespace FinderSyncHost
