#pragma once

#include "app/views/popover/ComponentPopoverSource.h"
#include "app/views/popover/MenuBarCommands.h"
#include "app/views/settings/SettingsComponents.h"

class AppDelegate;
class FileViewer;
class Prompts;
class UserDefaults;

// Builds what the popover and the settings window work with from the application delegate's
// components, as they are at this moment (fresh copies of the settings each time).
namespace DelegateWiring {

PopoverComponents popover(AppDelegate& delegate, UserDefaults& defaults, FileViewer& viewer);

// The window's save is the delegate's settings-saved path, its sign-in the delegate's
// didLogin, its "Sign Out" the delegate's; "Check Now" is the commands' update check.
SettingsComponents settings(AppDelegate& delegate, FileViewer& viewer, Prompts& prompts,
                            const MenuBarCommands& commands);

// The popover's commands that are the delegate's own, filled in where `commands` leaves them
// empty: "Open Extension Settings" switches the file-manager menu on (below), "Open Settings"
// and "Settings…" open the settings window. Import, updates and quit stay the caller's.
MenuBarCommands popoverCommands(AppDelegate& delegate, FileViewer& viewer,
                                MenuBarCommands commands);

// Switches the file-manager menu on (its registry works on a worker; what it asks the file
// manager to show is shown from the main thread), then publishes the new state through the
// delegate and returns it.
QCoro::Task<FinderExtensionState> enableFinderExtension(AppDelegate& delegate, FileViewer& viewer);

} // namespace DelegateWiring
