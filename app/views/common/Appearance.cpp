#include "app/views/common/Appearance.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace Appearance {

namespace {

struct Scheme {
    QColor window, base, alternateBase, text, button, placeholder, light, midlight, mid, dark,
        shadow, tooltipBase, disabledText;
};

QPalette build(const Scheme& s) {
    QPalette p;
    const QColor accent(0x00, 0x7A, 0xFF);
    p.setColor(QPalette::Window, s.window);
    p.setColor(QPalette::WindowText, s.text);
    p.setColor(QPalette::Base, s.base);
    p.setColor(QPalette::AlternateBase, s.alternateBase);
    p.setColor(QPalette::Text, s.text);
    p.setColor(QPalette::Button, s.button);
    p.setColor(QPalette::ButtonText, s.text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::PlaceholderText, s.placeholder);
    p.setColor(QPalette::Light, s.light);
    p.setColor(QPalette::Midlight, s.midlight);
    p.setColor(QPalette::Mid, s.mid);
    p.setColor(QPalette::Dark, s.dark);
    p.setColor(QPalette::Shadow, s.shadow);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, accent);
    p.setColor(QPalette::LinkVisited, accent.darker(120));
    p.setColor(QPalette::ToolTipBase, s.tooltipBase);
    p.setColor(QPalette::ToolTipText, s.text);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, s.disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, s.mid);
    return p;
}

} // namespace

QPalette lightPalette() {
    return build({.window = QColor(0xEC, 0xEC, 0xEC),
                  .base = Qt::white,
                  .alternateBase = QColor(0xF5, 0xF5, 0xF5),
                  .text = QColor(0x1D, 0x1D, 0x1F),
                  .button = QColor(0xFA, 0xFA, 0xFA),
                  .placeholder = QColor(0x6E, 0x6E, 0x73),
                  .light = Qt::white,
                  .midlight = QColor(0xE0, 0xE0, 0xE0),
                  .mid = QColor(0xB8, 0xB8, 0xBC),
                  .dark = QColor(0x9A, 0x9A, 0x9E),
                  .shadow = QColor(0x6E, 0x6E, 0x73),
                  .tooltipBase = QColor(0xFF, 0xFF, 0xF0),
                  .disabledText = QColor(0xA0, 0xA0, 0xA5)});
}

QPalette darkPalette() {
    return build({.window = QColor(0x26, 0x26, 0x28),
                  .base = QColor(0x32, 0x32, 0x35),
                  .alternateBase = QColor(0x3A, 0x3A, 0x3D),
                  .text = QColor(0xF2, 0xF2, 0xF7),
                  .button = QColor(0x3A, 0x3A, 0x3C),
                  .placeholder = QColor(0x98, 0x98, 0x9F),
                  .light = QColor(0x54, 0x54, 0x58),
                  .midlight = QColor(0x44, 0x44, 0x48),
                  .mid = QColor(0x30, 0x30, 0x32),
                  .dark = QColor(0x18, 0x18, 0x1A),
                  .shadow = Qt::black,
                  .tooltipBase = QColor(0x3A, 0x3A, 0x3C),
                  .disabledText = QColor(0x6E, 0x6E, 0x73)});
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QPalette paletteFor(AppearanceMode mode, std::optional<bool> desktopPrefersDark,
                    const QPalette& desktopPalette) {
    switch (mode) {
    case AppearanceMode::light:
        return lightPalette();
    case AppearanceMode::dark:
        return darkPalette();
    case AppearanceMode::system:
        break;
    }
    const bool dark = desktopPrefersDark.value_or(isDark(desktopPalette));
    return dark ? darkPalette() : lightPalette();
}

void useFusionStyle() {
    if (QApplication::style() &&
        QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0)
        return;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

void apply(QWidget& window, AppearanceMode mode, std::optional<bool> desktopPrefersDark) {
    window.setPalette(paletteFor(mode, desktopPrefersDark, QApplication::palette()));
}

} // namespace Appearance
