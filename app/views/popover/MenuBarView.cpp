#include "app/views/popover/MenuBarView.h"

#include "app/views/common/Chrome.h"
#include "app/views/common/SymbolIcon.h"
#include "app/views/common/ToneLabel.h"
#include "app/views/popover/MenuBarButton.h"
#include "app/views/popover/PopoverCardView.h"
#include "app/views/popover/PopoverSource.h"

#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, ViewColors::separator(parent->palette()));
    line->setPalette(p);
    return line;
}

template <typename F> void call(const F& command) {
    if (command)
        command();
}

} // namespace

MenuBarView::MenuBarView(PopoverSource& source, MenuBarCommands commands, QWidget* parent)
    : QWidget(parent), source_(source), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("MenuBarView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(separator(this));

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    Chrome::slimScrollBars(*scroll);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    body_ = new QWidget(scroll);
    body_->setAutoFillBackground(false);
    auto* bodyLayout = new QVBoxLayout(body_);
    bodyLayout->setContentsMargins(8, 8, 8, 4);
    bodyLayout->setSpacing(6);
    cardsLayout_ = new QVBoxLayout;
    cardsLayout_->setSpacing(6);
    bodyLayout->addLayout(cardsLayout_);
    driveSection_ = new QWidget(body_);
    driveLayout_ = new QVBoxLayout(driveSection_);
    driveLayout_->setContentsMargins(0, 0, 0, 0);
    driveLayout_->setSpacing(0);
    bodyLayout->addWidget(driveSection_);
    bodyLayout->addStretch(1);
    scroll->setWidget(body_);
    layout->addWidget(scroll, 1);

    layout->addWidget(separator(this));
    auto* bottom = new QWidget(this);
    bottomLayout_ = new QVBoxLayout(bottom);
    bottomLayout_->setContentsMargins(8, 3, 8, 0);
    bottomLayout_->setSpacing(0);
    layout->addWidget(bottom);
    footer_ = new ToneLabel(ViewColor::secondary, this);
    QFont small = footer_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    footer_->setFont(small);
    footer_->setContentsMargins(16, 1, 16, 0);
    layout->addWidget(footer_);

    // Queued: a click may change the state, and its card must outlive its own signal.
    connect(&source_, &PopoverSource::changed, this, &MenuBarView::refresh, Qt::QueuedConnection);
    refresh();
}

QWidget* MenuBarView::buildHeader() {
    auto* header = new QWidget(this);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(16, 8, 16, 7);
    layout->setSpacing(2);
    auto* product = new QLabel(QStringLiteral("Kelvane"), header);
    QFont title = product->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.25);
    product->setFont(title);
    layout->addWidget(product);
    auto* status = new QHBoxLayout;
    status->setSpacing(6);
    statusIcon_ = new SymbolIcon(QString(), ViewColor::secondary, 14, header);
    status->addWidget(statusIcon_, 0, Qt::AlignTop);
    statusLabel_ = new ToneLabel(ViewColor::secondary, header);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setWordWrap(true);
    status->addWidget(statusLabel_, 1);
    layout->addLayout(status);
    return header;
}

void MenuBarView::refresh() {
    state_ = source_.state();
    const PopoverContent next = MenuBarModel::content(state_);
    if (rendered_ && next == content_)
        return;
    render(next);
    content_ = next;
    rendered_ = true;
}

void MenuBarView::render(const PopoverContent& content) {
    statusIcon_->setSymbol(content.status.symbol, content.status.color);
    statusLabel_->setText(content.status.label);
    statusLabel_->setTone(content.status.color);
    renderCards(content.cards);
    renderRows(driveLayout_, driveButtons_, content.driveRows, driveSection_);
    driveSection_->setVisible(!content.driveRows.isEmpty());
    renderRows(bottomLayout_, bottomButtons_, content.bottomRows, bottomLayout_->parentWidget());
    footer_->setText(content.footer);
}

void MenuBarView::renderCards(const QList<PopoverCard>& cards) {
    bool sameKinds = cards.size() == cards_.size();
    for (qsizetype i = 0; sameKinds && i < cards.size(); ++i)
        sameKinds = cards_[i]->card().kind == cards[i].kind &&
                    cards_[i]->card().closeAction == cards[i].closeAction;
    if (sameKinds) {
        for (qsizetype i = 0; i < cards.size(); ++i)
            cards_[i]->setCard(cards[i]);
        return;
    }
    qDeleteAll(cards_);
    cards_.clear();
    for (const PopoverCard& card : cards) {
        auto* view = new PopoverCardView(card, body_);
        connect(view, &PopoverCardView::actionTriggered, this, &MenuBarView::trigger);
        cardsLayout_->addWidget(view);
        cards_.append(view);
    }
}

void MenuBarView::renderRows(QVBoxLayout* layout, QList<MenuBarButton*>& buttons,
                             const QList<PopoverRow>& rows, QWidget* owner) {
    if (buttons.size() != rows.size()) {
        qDeleteAll(buttons);
        buttons.clear();
        for (const PopoverRow& row : rows) {
            auto* button = new MenuBarButton(row.symbol, row.title, owner);
            layout->addWidget(button);
            buttons.append(button);
        }
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        MenuBarButton* button = buttons[i];
        button->setSymbol(rows[i].symbol);
        button->setText(rows[i].title);
        button->setDetail(rows[i].detail);
        button->setInert(rows[i].action == PopoverAction::none);
        button->disconnect(this);
        const PopoverAction action = rows[i].action;
        connect(button, &MenuBarButton::clicked, this, [this, action] { trigger(action); });
    }
}

void MenuBarView::trigger(PopoverAction action) {
    switch (action) {
    case PopoverAction::none:
        return;
    case PopoverAction::openSettings:
        return call(commands_.onOpenSettings);
    case PopoverAction::installUpdate:
        if (state_.update.kind == UpdateCardState::Kind::available && commands_.onInstallUpdate)
            commands_.onInstallUpdate(state_.update.release);
        return;
    case PopoverAction::enableFinderExtension:
        return call(commands_.onEnableFinderExtension);
    case PopoverAction::dismissOnboarding:
        return source_.markOnboardingSeen();
    case PopoverAction::cancelImport:
        return source_.cancelImport();
    case PopoverAction::openInFileManager:
        return source_.openInFileManager();
    case PopoverAction::importFolder:
        return call(commands_.onImportFolder);
    case PopoverAction::openWebBrowser:
        if (const auto address = MenuBarModel::webAddress(state_.apiURL))
            source_.openWebBrowser(*address);
        return;
    case PopoverAction::checkForUpdates:
        return call(commands_.onCheckForUpdates);
    case PopoverAction::quit:
        return call(commands_.onQuit);
    }
}
