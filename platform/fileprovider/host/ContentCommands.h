#pragma once

#include "platform/fileprovider/host/HostCommand.h"

// `get PATH OUT`: fetches the whole item as the system does when a file is opened, and moves
// the file it gets into OUT.
class GetCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("get"); }
    QString synopsis() const override { return QStringLiteral("PATH OUT"); }
    int run(HostSession& session, const QStringList& arguments) override;
};

// `read PATH OFFSET LENGTH [--align N] OUT`: an application reads LENGTH bytes at OFFSET.
// What the session already holds is served from there; otherwise the system asks the
// extension for the range (aligned to N) and keeps what it gets for later reads. The bytes
// read go to OUT.
class ReadCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("read"); }
    QString synopsis() const override {
        return QStringLiteral("PATH OFFSET LENGTH [--align N] OUT");
    }
    int run(HostSession& session, const QStringList& arguments) override;
};
