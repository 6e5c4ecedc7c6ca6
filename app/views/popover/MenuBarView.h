#pragma once

#include "app/views/popover/MenuBarCommands.h"
#include "app/views/popover/MenuBarModel.h"

#include <QList>
#include <QWidget>

class MenuBarButton;
class PopoverCardView;
class PopoverSource;
class QLabel;
class QVBoxLayout;
class SymbolIcon;
class ToneLabel;

// The popover's content: who is signed in and whether the drive is up, the cards that ask for
// attention, progress, the drive's actions and the bottom commands. It reads its source, follows
// its changes while open, and calls the commands it was handed; it owns nothing else.
class MenuBarView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 280;
    static constexpr int kHeight = 300;

    // The source must outlive the view (give it the view as parent to tie them together).
    MenuBarView(PopoverSource& source, MenuBarCommands commands, QWidget* parent = nullptr);

    const PopoverContent& content() const { return content_; }
    QSize sizeHint() const override { return {kWidth, kHeight}; }

    // What a click on a button with this action does.
    void trigger(PopoverAction action);

private:
    void refresh();
    void render(const PopoverContent& content);
    void renderCards(const QList<PopoverCard>& cards);
    void renderRows(QVBoxLayout* layout, QList<MenuBarButton*>& buttons,
                    const QList<PopoverRow>& rows, QWidget* owner);
    QWidget* buildHeader();

    PopoverSource& source_;
    MenuBarCommands commands_;
    PopoverState state_;
    PopoverContent content_;
    bool rendered_ = false;

    SymbolIcon* statusIcon_ = nullptr;
    ToneLabel* statusLabel_ = nullptr;
    QWidget* body_ = nullptr;
    QVBoxLayout* cardsLayout_ = nullptr;
    QList<PopoverCardView*> cards_;
    QWidget* driveSection_ = nullptr;
    QVBoxLayout* driveLayout_ = nullptr;
    QList<MenuBarButton*> driveButtons_;
    QVBoxLayout* bottomLayout_ = nullptr;
    QList<MenuBarButton*> bottomButtons_;
    ToneLabel* footer_ = nullptr;
};
