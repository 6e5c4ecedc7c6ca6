#pragma once

#include "platform/pluginregistry/FileManagerActions.h"

#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// The system's plug-in registry as far as the file-manager extension needs one: the
// context-menu actions of every file manager present (Dolphin, Nautilus, Nemo, Thunar) that
// run kelvane-findersync, installed, listed and switched back on. It answers pluginkit's
// argument forms in pluginkit's line form, so the caller's parsing is pluginkit's:
//   -a PATH           install the actions running PATH for the file managers present
//   -m -i ID          one line per file manager holding them: "+" on, "-" switched off in that
//                     file manager's own switch (those lines first); nothing when none does
//   -e use -i ID      switch them back on everywhere
// Blocking (files and a gsettings call with a time limit): call it from a worker.
class PluginRegistry {
public:
    static inline const QString kIdentifier = QStringLiteral("com.30814qv.kelvane.findersync");

    struct Options {
        // Where the file managers' programs are looked for.
        QStringList programDirs;
        QString gsettings;
        Options();
    };

    struct Installation {
        QString fileManager;
        FileManagerActions::State state;
        QString folder;
    };

    explicit PluginRegistry(Options options = Options());
    ~PluginRegistry();

    // pluginkit's standard output for the arguments; nothing for a form it does not know.
    std::optional<QString> run(const QStringList& arguments);

    // The problems met, one per file manager that could not get its actions.
    QStringList install(const QString& program);
    QList<Installation> list() const;
    QStringList switchOn();
    // The folder to show a person who wants to switch the actions on by hand: the first file
    // manager's that has them switched off, else the first that has them at all.
    std::optional<QString> managementFolder() const;

private:
    bool isPresent(const QString& fileManager) const;

    Options options_;
    std::vector<std::unique_ptr<FileManagerActions>> managers_;
};
