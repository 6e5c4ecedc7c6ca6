#include "platform/clipboard/QtTextClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

QtTextClipboard::QtTextClipboard(QClipboard& clipboard, QObject* parent)
    : QObject(parent), clipboard_(clipboard) {
    connect(&clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            check();
    });
}

void QtTextClipboard::setText(const QString& text) {
    text_ = text;
    clipboard_.setText(text, QClipboard::Clipboard);
    holding_ = holdsText();
}

bool QtTextClipboard::holdsText() const {
    // X11 says who owns the clipboard; elsewhere the content is compared.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return clipboard_.ownsClipboard();
    return clipboard_.text(QClipboard::Clipboard) == text_;
}

void QtTextClipboard::check() {
    if (holding_ && !holdsText()) {
        holding_ = false;
        emit lost();
    }
}
