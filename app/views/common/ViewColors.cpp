#include "app/views/common/ViewColors.h"

#include <QPalette>

namespace ViewColors {

namespace {
QColor mix(const QColor& from, const QColor& to, double amount) {
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * amount,
                            from.greenF() + (to.greenF() - from.greenF()) * amount,
                            from.blueF() + (to.blueF() - from.blueF()) * amount);
}
} // namespace

QColor resolve(ViewColor color, const QPalette& palette) {
    switch (color) {
    case ViewColor::label:
        return palette.color(QPalette::WindowText);
    case ViewColor::secondary:
        return palette.color(QPalette::PlaceholderText);
    case ViewColor::green:
        return QColor(0x34, 0xC7, 0x59);
    case ViewColor::orange:
        return QColor(0xFF, 0x95, 0x00);
    case ViewColor::red:
        return QColor(0xFF, 0x3B, 0x30);
    case ViewColor::blue:
        return QColor(0x00, 0x7A, 0xFF);
    }
    return palette.color(QPalette::WindowText);
}

QColor cardBackground(const QPalette& palette) {
    return mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.06);
}

QColor hoverBackground(const QPalette& palette) {
    return mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.12);
}

QColor separator(const QPalette& palette) {
    return mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.15);
}

} // namespace ViewColors
