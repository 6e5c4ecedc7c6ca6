#pragma once

#include <QString>

// The context-menu entries of one file manager that run kelvane-findersync, in that file
// manager's own format and with its own switch for turning them off.
class FileManagerActions {
public:
    enum class State { notInstalled, on, switchedOff };

    // What the entries run.
    struct Target {
        // kelvane-findersync of this installation, absolute.
        QString program;
    };

    virtual ~FileManagerActions() = default;
    // The file manager's name, also its program's name.
    virtual QString name() const = 0;
    // Writes (or rewrites) the entries, keeping the file manager's switch as the user left it.
    // False, with the reason in *problem, when they could not be written.
    virtual bool install(const Target& target, QString* problem) = 0;
    virtual State state() const = 0;
    // Turns the file manager's switch for the entries back on.
    virtual bool switchOn(QString* problem) = 0;
    // The folder holding the entries, for a person to look at.
    virtual QString folder() const = 0;
};
