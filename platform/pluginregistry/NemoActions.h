#pragma once

#include "platform/pluginregistry/FileManagerActions.h"

#include <QStringList>

// Nemo actions: "Copy Kelvane Link" (one item), "Copy Kelvane Links" (several) and "Open in
// Kelvane on the Web". Each is shown only when kelvane-findersync's in-drive check passes for
// the selection (Nemo hands an exec condition the selected paths). Nemo's switch is the
// gsettings key org.nemo.plugins disabled-actions, a list of action file names.
class NemoActions : public FileManagerActions {
public:
    explicit NemoActions(QString gsettings) : gsettings_(std::move(gsettings)) {}

    QString name() const override { return QStringLiteral("nemo"); }
    bool install(const Target& target, QString* problem) override;
    State state() const override;
    bool switchOn(QString* problem) override;
    QString folder() const override;

    static QStringList actionFiles();

private:
    std::optional<QStringList> disabledActions() const;

    QString gsettings_;
};
