#include "app/cli/OpenLinkCommand.h"

#include "app/shell/InstanceChannel.h"
#include "app/shell/LinkCommands.h"

#include <QTextStream>

namespace OpenLinkCommand {

int run(const QString& link) {
    const auto reply = InstanceChannel::ask(
        {{"command", QString::fromLatin1(LinkCommands::kCommand)}, {"url", link}});
    if (!reply) {
        QTextStream(stderr) << "kelvane: Kelvane is not running; start it with `kelvane` on a "
                               "desktop or `kelvane --headless`."
                            << Qt::endl;
        return 1;
    }
    if (reply->contains("error")) {
        QTextStream(stderr) << "kelvane: " << reply->value("error").toString() << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace OpenLinkCommand
