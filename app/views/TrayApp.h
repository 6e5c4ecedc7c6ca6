#pragma once

#include <QString>
#include <optional>

// `kelvane` on a desktop: the tray application. A `kelvane kelvane://…` started by the desktop
// hands its link to the running instance and exits, or becomes the instance and opens the link
// once its drive is up.
namespace TrayApp {

// Whether this invocation runs (or hands a link to) the tray: no arguments, or only a
// "kelvane:" link, with a desktop session (DISPLAY or WAYLAND_DISPLAY) present.
bool wanted(int argc, char** argv);
// Needs a QApplication. Returns the exit status.
int run(const std::optional<QString>& link);

} // namespace TrayApp
