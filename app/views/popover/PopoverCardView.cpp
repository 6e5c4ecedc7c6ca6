#include "app/views/popover/PopoverCardView.h"

#include "app/views/common/SymbolIcon.h"
#include "app/views/common/Symbols.h"
#include "app/views/common/ToneLabel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

ToneLabel* wrappingLabel(QWidget* parent, ViewColor tone = ViewColor::label) {
    auto* label = new ToneLabel(tone, parent);
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return label;
}

void showText(QLabel* label, const QString& text) {
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

// A flat line, not a boxed card: the mounting notice.
bool isFlat(PopoverCard::Kind kind) {
    return kind == PopoverCard::Kind::mounting;
}

} // namespace

PopoverCardView::PopoverCardView(const PopoverCard& card, QWidget* parent)
    : QFrame(parent), card_(card) {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(isFlat(card.kind) ? QMargins(8, 2, 8, 2) : QMargins(10, 9, 8, 9));
    outer->setSpacing(8);
    icon_ = new SymbolIcon(card.symbol, card.tint, 18, this);
    outer->addWidget(icon_, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    outer->addLayout(column, 1);
    title_ = wrappingLabel(this);
    QFont bold = title_->font();
    bold.setBold(!isFlat(card.kind));
    title_->setFont(bold);
    column->addWidget(title_);
    text_ = wrappingLabel(this);
    column->addWidget(text_);
    rows_ = new QWidget(this);
    rowsLayout_ = new QVBoxLayout(rows_);
    rowsLayout_->setContentsMargins(0, 2, 0, 2);
    rowsLayout_->setSpacing(5);
    column->addWidget(rows_);
    note_ = wrappingLabel(this, ViewColor::secondary);
    QFont small = note_->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    note_->setFont(small);
    column->addWidget(note_);
    buttons_ = new QWidget(this);
    buttonsLayout_ = new QHBoxLayout(buttons_);
    buttonsLayout_->setContentsMargins(0, 4, 0, 0);
    buttonsLayout_->setSpacing(6);
    column->addWidget(buttons_);

    if (card.closeAction != PopoverAction::none) {
        close_ = new QToolButton(this);
        close_->setObjectName(QStringLiteral("closeButton"));
        close_->setAccessibleName(QStringLiteral("Close"));
        close_->setToolTip(QStringLiteral("Close"));
        close_->setAutoRaise(true);
        close_->setIconSize(QSize(12, 12));
        paintCloseIcon();
        outer->addWidget(close_, 0, Qt::AlignTop);
        connect(close_, &QToolButton::clicked, this,
                [this] { emit actionTriggered(card_.closeAction); });
    }
    setCard(card);
    rebuildRows();
    rebuildButtons();
}

void PopoverCardView::setCard(const PopoverCard& card) {
    const bool rowsChanged = card.rows != card_.rows;
    const bool buttonsChanged = card.buttons != card_.buttons;
    card_ = card;
    icon_->setSymbol(card.symbol, card.tint);
    showText(title_, card.title);
    showText(text_, card.text);
    showText(note_, card.note);
    if (rowsChanged)
        rebuildRows();
    if (buttonsChanged)
        rebuildButtons();
}

void PopoverCardView::rebuildRows() {
    while (QLayoutItem* item = rowsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const CardRow& row : card_.rows) {
        auto* line = new QWidget(rows_);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        layout->addWidget(new SymbolIcon(row.symbol, ViewColor::secondary, 14, line), 0,
                          Qt::AlignTop);
        QLabel* text = wrappingLabel(line);
        text->setText(row.text);
        layout->addWidget(text, 1);
        rowsLayout_->addWidget(line);
    }
    rows_->setVisible(!card_.rows.isEmpty());
}

void PopoverCardView::rebuildButtons() {
    while (QLayoutItem* item = buttonsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const CardButton& cardButton : card_.buttons) {
        auto* button = new QPushButton(cardButton.title, buttons_);
        button->setCursor(Qt::PointingHandCursor);
        const PopoverAction action = cardButton.action;
        connect(button, &QPushButton::clicked, this,
                [this, action] { emit actionTriggered(action); });
        buttonsLayout_->addWidget(button);
    }
    buttonsLayout_->addStretch(1);
    buttons_->setVisible(!card_.buttons.isEmpty());
}

void PopoverCardView::paintCloseIcon() {
    if (close_)
        close_->setIcon(QIcon(Symbols::pixmap(
            "xmark", 12, ViewColors::resolve(ViewColor::secondary, palette()), 2.0)));
}

void PopoverCardView::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintCloseIcon();
}

void PopoverCardView::paintEvent(QPaintEvent* event) {
    if (!isFlat(card_.kind)) {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(ViewColors::cardBackground(palette()));
        p.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    QFrame::paintEvent(event);
}
