#pragma once

#include "platform/TextClipboard.h"

#include <QStringList>

// Records what was put on the clipboard instead of touching the desktop.
class FakeClipboard : public TextClipboard {
public:
    void setText(const QString& text) override { texts.append(text); }
    QString text() const { return texts.isEmpty() ? QString() : texts.last(); }

    QStringList texts;
};
