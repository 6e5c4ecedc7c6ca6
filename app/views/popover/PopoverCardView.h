#pragma once

#include "app/views/popover/MenuBarModel.h"

#include <QFrame>

class QHBoxLayout;
class QLabel;
class QToolButton;
class QVBoxLayout;
class SymbolIcon;

// One card of the popover. Updated in place while its kind stays, so a live state change does
// not take the button from under the pointer.
class PopoverCardView : public QFrame {
    Q_OBJECT
public:
    explicit PopoverCardView(const PopoverCard& card, QWidget* parent = nullptr);

    void setCard(const PopoverCard& card);
    const PopoverCard& card() const { return card_; }

signals:
    void actionTriggered(PopoverAction action);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void paintCloseIcon();
    void rebuildRows();
    void rebuildButtons();

    PopoverCard card_;
    SymbolIcon* icon_;
    QLabel* title_;
    QLabel* text_;
    QLabel* note_;
    QWidget* rows_;
    QVBoxLayout* rowsLayout_;
    QWidget* buttons_;
    QHBoxLayout* buttonsLayout_;
    QToolButton* close_ = nullptr;
};
