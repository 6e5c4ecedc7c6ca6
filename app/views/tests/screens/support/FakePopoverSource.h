#pragma once

#include "app/views/popover/MenuBarCommands.h"
#include "app/views/popover/PopoverSource.h"

#include <QStringList>
#include <QTimer>

// A popover source whose state the test sets; records what the view asked it to do.
class FakePopoverSource : public PopoverSource {
public:
    PopoverState current;
    QStringList calls;

    PopoverState state() const override { return current; }
    void cancelImport() override { calls << "cancelImport"; }
    void openInFileManager() override { calls << "openInFileManager"; }
    void openWebBrowser(const QUrl& address) override {
        calls << "openWebBrowser " + address.toString();
    }
    void markOnboardingSeen() override {
        calls << "markOnboardingSeen";
        current.onboardingSeen = true;
        emit changed();
    }
    void set(const PopoverState& state) {
        current = state;
        emit changed();
    }
};

// The delegate's commands, each recording its call.
struct RecordedCommands {
    QStringList calls;

    MenuBarCommands commands() {
        return {
            .onEnableFinderExtension = [this] { calls << "enableFinderExtension"; },
            .onImportFolder = [this] { calls << "importFolder"; },
            .onCheckForUpdates = [this] { calls << "checkForUpdates"; },
            .onInstallUpdate =
                [this](const UpdateRelease& release) {
                    calls << "installUpdate " + release.version;
                },
            .onOpenSettings = [this] { calls << "openSettings"; },
            .onQuit = [this] { calls << "quit"; },
        };
    }
};
