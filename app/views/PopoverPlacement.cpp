#include "app/views/PopoverPlacement.h"

#include <algorithm>

namespace PopoverPlacement {

QPoint origin(const QRect& iconGeometry, const QPoint& cursor, const QRect& available,
              const QSize& size) {
    const QRect anchor = iconGeometry.isValid() && !iconGeometry.isEmpty()
                             ? iconGeometry
                             : QRect(cursor, QSize(1, 1));
    const bool below = anchor.center().y() < available.center().y();
    int x = anchor.center().x() - size.width() / 2;
    int y = below ? anchor.bottom() + 1 + kGap : anchor.top() - kGap - size.height();
    x = std::clamp(x, available.left(),
                   std::max(available.left(), available.right() + 1 - size.width()));
    y = std::clamp(y, available.top(),
                   std::max(available.top(), available.bottom() + 1 - size.height()));
    return {x, y};
}

} // namespace PopoverPlacement
