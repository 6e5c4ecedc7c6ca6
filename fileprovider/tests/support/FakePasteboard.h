#pragma once

#include "platform/TextPasteboard.h"

#include <QStringList>

// Records what the extension puts on the clipboard instead of touching the desktop.
class FakePasteboard : public TextPasteboard {
public:
    QCoro::Task<> setString(QString text) override {
        texts.append(text);
        co_return;
    }
    std::optional<QString> string() const override {
        return texts.isEmpty() ? std::nullopt : std::optional(texts.last());
    }

    QStringList texts;
};
