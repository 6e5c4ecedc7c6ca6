#pragma once

#include <QAbstractButton>

// One row of the popover: a symbol, a label and, at the right end, an optional detail; the
// row is highlighted while the pointer is over it. A row without an action only shows.
class MenuBarButton : public QAbstractButton {
    Q_OBJECT
public:
    MenuBarButton(QString symbol, const QString& label, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol);
    const QString& symbol() const { return symbol_; }
    void setDetail(const QString& detail);
    const QString& detail() const { return detail_; }
    // A row that only shows information takes no clicks and never highlights.
    void setInert(bool inert);
    bool isHovered() const { return hovered_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString symbol_;
    QString detail_;
    bool hovered_ = false;
    bool inert_ = false;
};
