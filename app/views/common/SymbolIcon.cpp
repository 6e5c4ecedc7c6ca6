#include "app/views/common/SymbolIcon.h"

#include "app/views/common/Symbols.h"

#include <QEvent>

SymbolIcon::SymbolIcon(QString symbol, ViewColor tint, int size, QWidget* parent)
    : QLabel(parent), symbol_(std::move(symbol)), tint_(tint), size_(size) {
    setFixedSize(size, size);
    setAlignment(Qt::AlignCenter);
    render();
}

void SymbolIcon::setSymbol(const QString& symbol, ViewColor tint) {
    if (symbol == symbol_ && tint == tint_)
        return;
    symbol_ = symbol;
    tint_ = tint;
    render();
}

void SymbolIcon::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange)
        render();
}

void SymbolIcon::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    // The screen is known only now, and with it the pixel ratio.
    render();
}

void SymbolIcon::render() {
    setPixmap(Symbols::pixmap(symbol_, size_, ViewColors::resolve(tint_, palette()),
                              devicePixelRatioF()));
}
