#pragma once

class AppDelegate;
class InstanceChannel;

// What other `kelvane` processes may ask about folder imports:
//  - "import" {source, filespace?}: starts one; {"ok", "import"} or {"error", "title"}.
//  - "importStatus": {"import"} with the state of the current (or last) import.
//  - "importCancel" {id}: cancels that import if it is the one running.
namespace ImportCommands {

void registerImport(InstanceChannel& channel, AppDelegate& delegate);

} // namespace ImportCommands
