#include "app/shell/LinkCommands.h"

#include "app/shell/AppCommands.h"
#include "app/shell/InstanceChannel.h"

namespace LinkCommands {

void registerLinks(InstanceChannel& channel, AppCommands& commands) {
    channel.handle(QString::fromLatin1(kCommand),
                   InstanceChannel::Answer([&commands](const QJsonObject& request) {
                       if (!commands.handleURLEvent(request.value("url").toString()))
                           return QJsonObject{{"error", "not a kelvane: link"}};
                       return QJsonObject{{"ok", true}};
                   }));
}

} // namespace LinkCommands
