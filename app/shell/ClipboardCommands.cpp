#include "app/shell/ClipboardCommands.h"

#include "app/shell/InstanceChannel.h"
#include "platform/TextClipboard.h"
#include "shared/ClipboardRequest.h"

namespace ClipboardCommands {

void registerClipboard(InstanceChannel& channel, TextClipboard& clipboard) {
    channel.handle(ClipboardRequest::kCommand,
                   InstanceChannel::Answer([&clipboard](const QJsonObject& request) {
                       const auto text = ClipboardRequest::textOf(request);
                       if (!text)
                           return QJsonObject{{"error", "no text, or more than the clipboard "
                                                        "takes from another program"}};
                       clipboard.setText(*text);
                       return QJsonObject{{"ok", true}};
                   }));
}

} // namespace ClipboardCommands
