#pragma once

#include <QString>

// The desktop clipboard as the running Kelvane offers it to other programs. The tray's Qt Gui
// implementation (QtTextClipboard) owns the clipboard for as long as the process runs; tests
// use a double.
class TextClipboard {
public:
    virtual ~TextClipboard() = default;
    virtual void setText(const QString& text) = 0;
};
