#pragma once

#include "app/settings/AppSettings.h"

#include <QPalette>
#include <optional>

class QWidget;

// Light and dark palettes on the Fusion style. `system` follows the desktop: its stated
// preference when it has one, otherwise whether the platform's own palette is dark.
namespace Appearance {

QPalette lightPalette();
QPalette darkPalette();
bool isDark(const QPalette& palette);

// The palette a window gets for the setting.
QPalette paletteFor(AppearanceMode mode, std::optional<bool> desktopPrefersDark,
                    const QPalette& desktopPalette);

// Makes Fusion the application's style (once; palettes need a style that honours them).
void useFusionStyle();

// Gives the window the palette for the setting; the desktop's preference may be unknown.
void apply(QWidget& window, AppearanceMode mode, std::optional<bool> desktopPrefersDark);

} // namespace Appearance
