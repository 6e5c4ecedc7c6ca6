#pragma once

class AppDelegate;
class InstanceChannel;

// The update requests a running instance answers for `kelvane update`:
//  - "updateCheck": a manual check; answers {"update": state, "currentVersion", "currentBuild"};
//  - "updateInstall": checks first unless a release is already known, then downloads,
//    verifies and installs it; answers the same, "installing" meaning Kelvane is restarting.
namespace UpdateCommands {
void registerUpdate(InstanceChannel& channel, AppDelegate& delegate);
} // namespace UpdateCommands
