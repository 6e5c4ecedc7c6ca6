#pragma once

#include "platform/findersync/Pasteboard.h"

#include <chrono>

// On X11 what a program puts on the clipboard goes when the program exits, and the actions of
// the file manager end at once. So the text goes to the running Kelvane, which owns the
// clipboard for as long as it runs; when none answers (or it has no clipboard), to
// kelvane-clipboard, which keeps serving it until another program takes the clipboard.
class ClipboardHandOff : public Pasteboard {
public:
    struct Options {
        QString instanceSocket;
        // kelvane-clipboard of this installation.
        QString keeper;
        std::chrono::milliseconds instanceLimit{3000};
        std::chrono::milliseconds keeperLimit{15000};
    };

    explicit ClipboardHandOff(Options options) : options_(std::move(options)) {}
    bool setString(const QString& text, QString* error) override;

private:
    bool handToKeeper(const QString& text, QString* error) const;

    Options options_;
};
