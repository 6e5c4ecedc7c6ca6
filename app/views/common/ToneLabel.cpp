#include "app/views/common/ToneLabel.h"

#include <QEvent>

ToneLabel::ToneLabel(ViewColor tone, QWidget* parent) : QLabel(parent), tone_(tone) {
    setTextFormat(Qt::PlainText);
    applyTone();
}

void ToneLabel::setTone(ViewColor tone) {
    tone_ = tone;
    applyTone();
}

void ToneLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyTone();
}

void ToneLabel::applyTone() {
    // Label and secondary derive from the inherited palette, so look at the parent's.
    const QPalette base = parentWidget() ? parentWidget()->palette() : palette();
    const QColor wanted = ViewColors::resolve(tone_, base);
    if (palette().color(QPalette::WindowText) == wanted)
        return;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, wanted);
    setPalette(p);
}
