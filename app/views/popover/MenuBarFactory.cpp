#include "app/views/popover/MenuBarFactory.h"

#include "app/views/popover/MenuBarView.h"

namespace MenuBarFactory {

MenuBarView* build(PopoverComponents components, MenuBarCommands commands, QWidget* parent) {
    auto* source = new ComponentPopoverSource(std::move(components));
    auto* view = new MenuBarView(*source, std::move(commands), parent);
    source->setParent(view);
    return view;
}

std::function<QWidget*()> factory(std::function<PopoverComponents()> components,
                                  MenuBarCommands commands) {
    return [components = std::move(components), commands = std::move(commands)]() -> QWidget* {
        return build(components(), commands);
    };
}

} // namespace MenuBarFactory
