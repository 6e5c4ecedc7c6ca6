#pragma once

class AppDelegate;
class InstanceChannel;

// "diagnostics": the running instance writes the report (it knows every drive's state) and
// answers {"path"}, or {"error", "title"} when it could not be written.
namespace DiagnosticsCommands {

void registerDiagnostics(InstanceChannel& channel, AppDelegate& delegate);

inline const char* const kFailureTitle = "Couldn't write the report";
inline const char* const kFailureText = "Check that Kelvane is allowed to write to your Desktop.";

} // namespace DiagnosticsCommands
