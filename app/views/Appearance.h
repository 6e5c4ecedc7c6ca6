#pragma once

#include "app/settings/AppSettings.h"

#include <QPalette>
#include <optional>

// The popover's look for the user's appearance choice: light and dark palettes on the Fusion
// style; nothing for `system`, which follows the desktop.
namespace Appearance {
std::optional<QPalette> paletteFor(AppearanceMode mode);
} // namespace Appearance
