#pragma once

#include <QCoroTask>
#include <QString>
#include <optional>

// The desktop's general clipboard as the file-provider extension uses it: plain text only.
class TextPasteboard {
public:
    virtual ~TextPasteboard() = default;
    // Replaces the clipboard's content with the text. Throws KelvaneError when no clipboard
    // took it.
    virtual QCoro::Task<> setString(QString text) = 0;
    // What this object last put on the clipboard.
    virtual std::optional<QString> string() const = 0;
};
