#pragma once

#include <QColor>
#include <QRectF>
#include <QStringList>

class QPainter;

// The application's own drawings of the symbols the views use, so that every card has its
// icon where the desktop's icon theme has none. Drawn as vectors on a 24-unit grid; some cut
// shapes out of what they filled, so draw them on a transparent image.
namespace SymbolDrawings {

// False (nothing drawn) for a symbol without a drawing.
bool draw(QPainter& painter, const QString& symbol, const QRectF& box, const QColor& color);
QStringList symbols();

} // namespace SymbolDrawings
