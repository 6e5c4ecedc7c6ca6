#pragma once

#include "app/views/popover/ComponentPopoverSource.h"
#include "app/views/popover/MenuBarCommands.h"

#include <QWidget>
#include <functional>

class MenuBarView;

namespace MenuBarFactory {

// A popover content built from the components as they are now; it owns its source. Delete it
// with deleteLater(): a command it calls may be what closes the popover.
MenuBarView* build(PopoverComponents components, MenuBarCommands commands,
                   QWidget* parent = nullptr);

// What the popover window calls each time it opens: the components (with their fresh copies
// of the settings and the file-manager state) are taken at that moment.
std::function<QWidget*()> factory(std::function<PopoverComponents()> components,
                                  MenuBarCommands commands);

} // namespace MenuBarFactory
