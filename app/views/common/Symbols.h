#pragma once

#include <QColor>
#include <QPixmap>
#include <QStringList>

// The symbols the popover and the settings window name, shown with the desktop's icon theme
// where it has an icon for them and with the application's own drawings everywhere else.
// Every icon is tinted in one colour, the way the views colour their symbols.
namespace Symbols {

enum class Source { theme, bundled, none };

// Freedesktop icon names for the symbol, best first; empty for an unknown symbol.
QStringList themeNames(const QString& symbol);
// Every symbol the views use; each has a theme mapping and a drawing.
QStringList all();

// Where the icon for the symbol comes from on this desktop.
Source source(const QString& symbol);
// The icon at the size (in device-independent pixels) and pixel ratio, tinted; a null pixmap
// only for a symbol the application does not know.
QPixmap pixmap(const QString& symbol, int size, const QColor& tint, qreal devicePixelRatio);

} // namespace Symbols
