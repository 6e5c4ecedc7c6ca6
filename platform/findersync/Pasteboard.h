#pragma once

#include <QString>

// The desktop's general clipboard as the extension uses it: plain text only.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;
    // Replaces the clipboard's content. False, with the reason in *error, when it could not.
    virtual bool setString(const QString& text, QString* error) = 0;
};
