#pragma once

#include "platform/fileprovider/FileProviderDomain.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"
#include "platform/fileprovider/FileProviderSystemServices.h"
#include "platform/fileprovider/host/HostCommand.h"
#include "platform/fileprovider/host/HostSession.h"

#include <functional>
#include <memory>
#include <vector>

class FileProviderDomainService;

// Plays the system for one extension program: serves only a domain that the application has
// registered, starts the extension for it and runs one command against it, or, with
// `serve`, one command per line of standard input against the same extension (so what it
// keeps between requests, such as read-ahead, carries over), each answer ending in a line
// "-- exit N".
//   PROGRAM [--json] [--domain ID] [--timeout SECONDS] [--clipboard-keeper PROGRAM] COMMAND ARGS…
class FileProviderHost {
public:
    using ExtensionFactory = std::function<std::unique_ptr<FileProviderReplicatedExtension>(
        const FileProviderDomain&, FileProviderSystemServices)>;

    FileProviderHost(QString program, FileProviderDomainService& domains, QString defaultDomain,
                     ExtensionFactory makeExtension,
                     HostSession::ErrorDescriber describeError = {});

    void addCommand(std::unique_ptr<HostCommand> command);
    // The commands every host offers: ls, stat, changes, get, read, put, mkdir, mv, rm.
    void addStandardCommands();

    // The arguments after the program name; returns the exit code.
    int run(const QStringList& arguments);
    QString usage() const;

private:
    HostCommand* command(const QString& name) const;
    // One command with its arguments; the exit code.
    int runOne(HostSession& session, HostCommand& chosen, const QStringList& arguments);
    int serve(FileProviderReplicatedExtension& extension, FileProviderDomainManager& manager,
              HostContext context, const HostSession::Settings& settings, QTextStream& out,
              QTextStream& err, bool* timedOut);

    QString program_;
    FileProviderDomainService& domains_;
    QString defaultDomain_;
    ExtensionFactory makeExtension_;
    HostSession::ErrorDescriber describeError_;
    std::vector<std::unique_ptr<HostCommand>> commands_;
};
