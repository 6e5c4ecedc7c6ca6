#include "app/shell/InstanceCommands.h"

#include "app/shell/AppDelegate.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/StatusSnapshot.h"

namespace InstanceCommands {

void registerCore(InstanceChannel& channel, AppDelegate& delegate) {
    using Answer = InstanceChannel::Answer;
    channel.handle("ping", Answer([](const QJsonObject&) { return QJsonObject{{"ok", true}}; }));
    channel.handle("status", Answer([&delegate](const QJsonObject&) {
                       return StatusSnapshot::build(
                           {delegate.apiClient(), delegate.mountManager(), delegate.syncStatus(),
                            delegate.activation(), delegate.finderExtensionState(),
                            &delegate.importer(), delegate.settings().launchAtLogin,
                            &delegate.updater()});
                   }));
    channel.handle("didLogin", Answer([&delegate](const QJsonObject&) {
                       delegate.didLoginElsewhere();
                       return QJsonObject{{"ok", true}};
                   }));
    channel.handle("didLogout", Answer([&delegate](const QJsonObject&) {
                       delegate.didLogoutElsewhere();
                       return QJsonObject{{"ok", true}};
                   }));
}

} // namespace InstanceCommands
