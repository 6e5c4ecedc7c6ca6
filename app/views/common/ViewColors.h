#pragma once

#include <QColor>

class QPalette;

// The named colours the views use. Label and secondary follow the palette (light or dark);
// the signal colours are the system's fixed ones.
enum class ViewColor { label, secondary, green, orange, red, blue };

namespace ViewColors {

QColor resolve(ViewColor color, const QPalette& palette);
// The background of a card: the window colour moved a little towards the text colour.
QColor cardBackground(const QPalette& palette);
// Hovered rows: the same, a little stronger.
QColor hoverBackground(const QPalette& palette);
QColor separator(const QPalette& palette);

} // namespace ViewColors
