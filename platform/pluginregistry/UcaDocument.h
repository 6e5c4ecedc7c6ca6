#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Thunar's uca.xml, the one file every custom action shares: <actions><action>…</action>…
// Ours are told apart by <unique-id>; everything else in the file is kept byte for byte.
class UcaDocument {
public:
    // Reads the text; nothing (with the parser's reason in *error) when it is not a
    // well-formed <actions> document.
    static std::optional<UcaDocument> parse(const QString& text, const QStringList& ourIds,
                                            QString* error);

    // Whether one of our actions is in the file, and whether Thunar shows it: an action with
    // none of the file-type conditions (all unticked in Thunar's editor) appears for nothing.
    bool hasOurs() const { return !ours_.isEmpty(); }
    bool oursSwitchedOff() const { return oursSwitchedOff_; }
    // The <command> of our action with that unique-id, as Thunar reads it.
    QString commandOf(const QString& uniqueId) const { return commands_.value(uniqueId); }

    // The text with our actions replaced by the given ones (each a complete <action> element
    // ending in a newline), added at the end of the list.
    QString withOurs(const QString& actions) const;

private:
    struct Range {
        qsizetype begin;
        qsizetype end;
    };

    QString text_;
    QList<Range> ours_;
    qsizetype insertAt_ = 0;
    // "<actions/>": written out in full when actions are added.
    bool emptyRoot_ = false;
    Range root_{0, 0};
    bool oursSwitchedOff_ = false;
    QHash<QString, QString> commands_;
};
