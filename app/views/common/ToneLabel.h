#pragma once

#include "app/views/common/ViewColors.h"

#include <QLabel>

// A text label in one of the views' colours, kept right when the window's palette changes.
class ToneLabel : public QLabel {
    Q_OBJECT
public:
    explicit ToneLabel(ViewColor tone = ViewColor::label, QWidget* parent = nullptr);

    void setTone(ViewColor tone);
    ViewColor tone() const { return tone_; }
    // The colour the text is drawn in now.
    QColor ink() const { return palette().color(QPalette::WindowText); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyTone();

    ViewColor tone_;
};
