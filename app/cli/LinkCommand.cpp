#include "app/cli/LinkCommand.h"

#include "findersync/FinderSync.h"
#include "findersync/ShareLink.h"
#include "platform/Paths.h"
#include "platform/findersync/FinderSyncController.h"
#include "platform/findersync/Pasteboard.h"
#include "platform/findersync/Workspace.h"
#include "shared/FinderSyncConfig.h"

#include <cstdio>

namespace LinkCommand {

namespace {

// The command only reads links; it never reaches the desktop.
struct NoDesktop : Pasteboard, Workspace {
    bool setString(const QString&, QString*) override { return false; }
    bool openURL(const QString&, QString*) override { return false; }
};

} // namespace

int run(const QByteArrayList& paths) {
    if (paths.isEmpty()) {
        std::fputs("Usage: kelvane link PATH…\n", stderr);
        return 2;
    }
    FinderSyncController controller;
    NoDesktop desktop;
    const FinderSync finder(
        {controller, desktop, desktop, FinderSyncConfig::configFile(), Paths::realHome()});
    int resolved = 0;
    for (const QByteArray& argument : paths) {
        const QByteArray path = ShareLink::pathFromArgument(argument);
        controller.setSelectedItemURLs({ShareLink::cleanAbsolute(path)});
        const QStringList links = path.isEmpty() ? QStringList() : finder.selectedShareLinks();
        if (links.isEmpty()) {
            std::fprintf(stderr, "kelvane link: no link for %s (not an item inside a drive)\n",
                         argument.constData());
            continue;
        }
        std::printf("%s\n", links.first().toUtf8().constData());
        ++resolved;
    }
    std::fflush(stdout);
    return resolved > 0 ? 0 : 1;
}

} // namespace LinkCommand
