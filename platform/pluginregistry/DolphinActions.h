#pragma once

#include "platform/pluginregistry/FileManagerActions.h"

// Dolphin service menus: one file for a single item ("Copy Kelvane Link") and one for several
// ("Copy Kelvane Links"), in both the KF 5.85+/KF6 and the older KF5 location (Dolphin reads a
// name once, so the copies never show twice). Dolphin trusts them only when executable; its
// switch is kservicemenurc's [Show] group.
class DolphinActions : public FileManagerActions {
public:
    QString name() const override { return QStringLiteral("dolphin"); }
    bool install(const Target& target, QString* problem) override;
    State state() const override;
    bool switchOn(QString* problem) override;
    QString folder() const override;

    static QStringList actionKeys();

private:
    static QStringList files();
};
