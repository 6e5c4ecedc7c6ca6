#pragma once

class AppCommands;
class InstanceChannel;

// "openLink" {"url": …}: a `kelvane kelvane://…` started by the desktop hands its link to the
// running instance and exits. Answered {"ok": true}, or {"error": …} for text that is not a
// Kelvane link.
namespace LinkCommands {
inline constexpr const char* kCommand = "openLink";
void registerLinks(InstanceChannel& channel, AppCommands& commands);
} // namespace LinkCommands
