#include "app/views/common/Chrome.h"

#include <QAbstractScrollArea>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>

namespace Chrome {

void slimScrollBars(QAbstractScrollArea& area) {
    area.verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 8px; background: transparent; margin: 2px 1px 2px 0; }"
        "QScrollBar::handle:vertical { background: palette(mid); border-radius: 3px;"
        " min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
}

void segmentedTabs(QTabBar& tabs, const QPalette& palette) {
    tabs.setExpanding(false);
    tabs.setDrawBase(false);
    const auto colour = [&](QPalette::ColorRole role) { return palette.color(role).name(); };
    // Colours written out: a style sheet's palette() would read the application's palette,
    // not the window's.
    tabs.setStyleSheet(
        QStringLiteral(
            "QTabBar::tab { padding: 4px 18px; color: %1; background: %2; border: 1px solid %3;"
            " margin: 0; }"
            "QTabBar::tab:first { border-top-left-radius: 6px; border-bottom-left-radius: 6px; }"
            "QTabBar::tab:last { border-top-right-radius: 6px; border-bottom-right-radius: 6px; }"
            "QTabBar::tab:selected { background: %4; color: %5; border-color: %4; }")
            .arg(colour(QPalette::ButtonText), colour(QPalette::Button), colour(QPalette::Light),
                 colour(QPalette::Highlight), colour(QPalette::HighlightedText)));
}

void primaryButton(QPushButton& button) {
    QPalette p = button.palette();
    // Fusion lightens a button's colour into its gradient; start darker to end on the accent.
    const QColor fill = p.color(QPalette::Highlight).darker(135);
    p.setColor(QPalette::Active, QPalette::Button, fill);
    p.setColor(QPalette::Inactive, QPalette::Button, fill);
    p.setColor(QPalette::Active, QPalette::ButtonText, p.color(QPalette::HighlightedText));
    p.setColor(QPalette::Inactive, QPalette::ButtonText, p.color(QPalette::HighlightedText));
    button.setPalette(p);
    button.setDefault(true);
}

} // namespace Chrome
