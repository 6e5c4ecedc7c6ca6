#pragma once

#include "platform/fileprovider/FileProviderDomain.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"
#include "platform/fileprovider/host/HostCommand.h"
#include "platform/fileprovider/host/HostSession.h"

#include <functional>
#include <memory>
#include <vector>

class FileProviderDomainService;

// Plays the system for one extension program: serves only a domain that the application has
// registered, starts the extension for it and runs one command against it.
//   PROGRAM [--json] [--domain ID] [--timeout SECONDS] COMMAND ARGS…
class FileProviderHost {
public:
    using ExtensionFactory =
        std::function<std::unique_ptr<FileProviderReplicatedExtension>(const FileProviderDomain&)>;

    FileProviderHost(QString program, FileProviderDomainService& domains, QString defaultDomain,
                     ExtensionFactory makeExtension,
                     HostSession::ErrorDescriber describeError = {});

    void addCommand(std::unique_ptr<HostCommand> command);
    // The commands every host offers: ls, stat, changes.
    void addStandardCommands();

    // The arguments after the program name; returns the exit code.
    int run(const QStringList& arguments);
    QString usage() const;

private:
    HostCommand* command(const QString& name) const;

    QString program_;
    FileProviderDomainService& domains_;
    QString defaultDomain_;
    ExtensionFactory makeExtension_;
    HostSession::ErrorDescriber describeError_;
    std::vector<std::unique_ptr<HostCommand>> commands_;
};
