#pragma once

#include "app/views/common/ViewColors.h"

#include <QLabel>

// A symbol shown in one of the views' colours; redrawn when the palette or the screen's pixel
// ratio changes.
class SymbolIcon : public QLabel {
    Q_OBJECT
public:
    SymbolIcon(QString symbol, ViewColor tint, int size, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol, ViewColor tint);
    const QString& symbol() const { return symbol_; }
    ViewColor tint() const { return tint_; }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void render();

    QString symbol_;
    ViewColor tint_;
    int size_;
};
