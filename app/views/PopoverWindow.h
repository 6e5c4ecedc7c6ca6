#pragma once

#include "app/settings/AppSettings.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>

// The tray's popover: a 280 × 300 popup window that opens under the tray icon (or at the
// pointer), closes on a click outside it and on Escape, and shows a content widget built anew
// by the factory each time it opens, so it always shows the current state.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kSize{280, 300};
    // A click on the tray icon closes the popup (a click outside) before the icon reports it;
    // a toggle that soon after the close is that same click.
    static constexpr qint64 kReopenGuardMs = 300;
    using ContentFactory = std::function<QWidget*()>;

    explicit PopoverWindow(QWidget* parent = nullptr);

    void setContentFactory(ContentFactory factory) { factory_ = std::move(factory); }
    void setAppearance(AppearanceMode mode);
    // Builds the content and shows the window placed for the icon geometry (empty: at the
    // pointer).
    void openFor(const QRect& iconGeometry);
    bool closedJustNow() const;
    QWidget* content() const { return content_; }

public slots:
    // Replaces what the window shows now (the window takes the widget; the old one is deleted).
    // The factory still builds the content of the next opening.
    void setContent(QWidget* content);

signals:
    void opened();
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    ContentFactory factory_;
    QPointer<QWidget> content_;
    QElapsedTimer sinceClose_;
};
