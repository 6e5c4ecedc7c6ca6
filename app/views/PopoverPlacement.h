#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the popover opens: centred under the tray icon (or over it, for a panel in the lower
// half of the screen), or at the pointer when the tray does not say where its icon is; always
// inside the screen's available area.
namespace PopoverPlacement {

inline constexpr int kGap = 4;

QPoint origin(const QRect& iconGeometry, const QPoint& cursor, const QRect& available,
              const QSize& size);

} // namespace PopoverPlacement
