#include "app/views/popover/MenuBarButton.h"

#include "app/views/common/Symbols.h"
#include "app/views/common/ViewColors.h"

#include <QPainter>

namespace {
constexpr int kHeight = 25;
constexpr int kIconSize = 16;
constexpr int kInset = 8;
constexpr int kGap = 8;
} // namespace

MenuBarButton::MenuBarButton(QString symbol, const QString& label, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)) {
    setText(label);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MenuBarButton::setSymbol(const QString& symbol) {
    if (symbol == symbol_)
        return;
    symbol_ = symbol;
    update();
}

void MenuBarButton::setDetail(const QString& detail) {
    if (detail == detail_)
        return;
    detail_ = detail;
    update();
}

void MenuBarButton::setInert(bool inert) {
    inert_ = inert;
    setEnabled(true);
    setAttribute(Qt::WA_TransparentForMouseEvents, inert);
    setCursor(inert ? Qt::ArrowCursor : Qt::PointingHandCursor);
    setFocusPolicy(inert ? Qt::NoFocus : Qt::TabFocus);
    update();
}

QSize MenuBarButton::sizeHint() const {
    const int labelWidth = fontMetrics().horizontalAdvance(text());
    const int detailWidth = detail_.isEmpty() ? 0 : kGap + fontMetrics().horizontalAdvance(detail_);
    return {kInset * 2 + kIconSize + kGap + labelWidth + detailWidth, kHeight};
}

QSize MenuBarButton::minimumSizeHint() const {
    return {kInset * 2 + kIconSize, kHeight};
}

void MenuBarButton::enterEvent(QEnterEvent* event) {
    hovered_ = !inert_;
    update();
    QAbstractButton::enterEvent(event);
}

void MenuBarButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void MenuBarButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if ((hovered_ || isDown() || hasFocus()) && !inert_) {
        p.setPen(Qt::NoPen);
        p.setBrush(ViewColors::hoverBackground(pal));
        p.drawRoundedRect(QRectF(rect()).adjusted(2, 1, -2, -1), 5, 5);
    }
    const QColor ink = ViewColors::resolve(ViewColor::label, pal);
    const int iconTop = (height() - kIconSize) / 2;
    p.drawPixmap(kInset, iconTop, Symbols::pixmap(symbol_, kIconSize, ink, devicePixelRatioF()));

    QRect textArea = rect().adjusted(kInset + kIconSize + kGap, 0, -kInset, 0);
    if (!detail_.isEmpty()) {
        p.setPen(ViewColors::resolve(ViewColor::secondary, pal));
        const QString shown =
            fontMetrics().elidedText(detail_, Qt::ElideLeft, textArea.width() * 2 / 3);
        p.drawText(textArea, Qt::AlignVCenter | Qt::AlignRight, shown);
        textArea.setRight(textArea.right() - fontMetrics().horizontalAdvance(shown) - kGap);
    }
    p.setPen(ink);
    p.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(text(), Qt::ElideRight, textArea.width()));
}
