#pragma once

#include <QString>
#include <QStringList>

// A modal question or notice as the application's commands put it to the user. The first button
// is the default; an alert without buttons has one "OK".
struct Alert {
    enum class Style { informational, warning };

    Style style = Style::informational;
    QString message;
    QString informativeText;
    QStringList buttons;
    // The button Escape or closing the alert chooses; none (the answer is "dismissed") when -1
    // and there is more than one button.
    int cancelButton = -1;

    QStringList buttonTitles() const {
        return buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : buttons;
    }
    bool operator==(const Alert&) const = default;
};

// The folder chooser the import command shows: folders only, one at a time.
struct FolderPanel {
    QString prompt;
    QString message;
    bool operator==(const FolderPanel&) const = default;
};
