#pragma once

#include <QList>
#include <QString>

// The context menu the extension hands the file manager.
struct FinderMenu {
    // The kinds of menu a file manager asks for, in the order the framework numbers them.
    enum class Kind { contextualMenuForItems, contextualMenuForContainer, sidebar, toolbar };
    enum class Action { copyLink, openOnWeb };

    struct Item {
        QString title;
        // A symbol name; the file managers' action files use the freedesktop icon beside it.
        QString image;
        QString keyEquivalent;
        Action action;
    };

    QString title;
    QList<Item> items;
};
