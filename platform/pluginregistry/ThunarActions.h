#pragma once

#include "platform/pluginregistry/FileManagerActions.h"

// Thunar custom actions, merged into uca.xml by unique-id; the other actions stay as they are.
// A uca.xml that is not well formed is left untouched and reported. Thunar has no on/off
// switch: an action whose file-type conditions are all unticked (its editor's "Appearance
// Conditions") appears for nothing, and that is taken as switched off.
class ThunarActions : public FileManagerActions {
public:
    QString name() const override { return QStringLiteral("thunar"); }
    bool install(const Target& target, QString* problem) override;
    State state() const override;
    bool switchOn(QString* problem) override;
    QString folder() const override;

    static QStringList uniqueIds();

private:
    bool write(const QString& program, bool switchedOff, QString* problem);
    // Thunar's file, or its default for a user who has none yet (so its own actions are not
    // lost when ours create the file).
    static QString currentText();
};
