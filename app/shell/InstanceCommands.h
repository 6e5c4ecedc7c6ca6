#pragma once

class AppDelegate;
class InstanceChannel;

// The requests a running instance answers for other `kelvane` processes: "ping", "status",
// "didLogin", "didLogout". Other parts add their own commands beside these.
namespace InstanceCommands {
void registerCore(InstanceChannel& channel, AppDelegate& delegate);
} // namespace InstanceCommands
