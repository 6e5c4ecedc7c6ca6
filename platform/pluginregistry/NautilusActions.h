#pragma once

#include "platform/pluginregistry/FileManagerActions.h"

// Nautilus scripts in a "Kelvane" folder of its scripts menu. Each is a #! line that runs
// kelvane-findersync (through env -S, no shell), which reads the selection from Nautilus's
// environment. Nautilus lists only executable scripts: the executable bit is its switch.
class NautilusActions : public FileManagerActions {
public:
    QString name() const override { return QStringLiteral("nautilus"); }
    bool install(const Target& target, QString* problem) override;
    State state() const override;
    bool switchOn(QString* problem) override;
    QString folder() const override;

private:
    static QStringList scripts();
};
