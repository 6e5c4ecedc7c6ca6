#pragma once

#include <QString>
#include <QStringList>

class HostSession;

// One thing the host does as the system would: it calls the extension's entry points and
// prints what they handed back. Returns the process's exit code (HostSession::ExitCode).
class HostCommand {
public:
    virtual ~HostCommand() = default;
    virtual QString name() const = 0;
    // The arguments after the name, as shown in the usage text.
    virtual QString synopsis() const = 0;
    virtual int run(HostSession& session, const QStringList& arguments) = 0;
};
