#include "app/views/Appearance.h"

#include <QColor>

namespace Appearance {

namespace {

QPalette dark() {
    QPalette p;
    const QColor window(0x2B, 0x2B, 0x2D), base(0x1E, 0x1E, 0x20), text(0xEC, 0xEC, 0xEE);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3C));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    p.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6E, 0x6E, 0x73));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6E, 0x6E, 0x73));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6E, 0x6E, 0x73));
    return p;
}

QPalette light() {
    QPalette p;
    const QColor window(0xEC, 0xEC, 0xEC), base(Qt::white), text(0x1D, 0x1D, 0x1F);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF5, 0xF7));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0xFA, 0xFA, 0xFA));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    p.setColor(QPalette::Highlight, QColor(0x00, 0x7A, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x00, 0x7A, 0xFF));
    return p;
}

} // namespace

std::optional<QPalette> paletteFor(AppearanceMode mode) {
    switch (mode) {
    case AppearanceMode::system:
        return std::nullopt;
    case AppearanceMode::light:
        return light();
    case AppearanceMode::dark:
        return dark();
    }
    return std::nullopt;
}

} // namespace Appearance
