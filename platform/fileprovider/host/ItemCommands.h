#pragma once

#include "platform/fileprovider/host/HostCommand.h"

// `ls PATH`: enumerates the container's items, page after page, after taking its sync anchor
// as the system does, and keeps that anchor for later `changes`.
class ListCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("ls"); }
    QString synopsis() const override { return QStringLiteral("PATH"); }
    int run(HostSession& session, const QStringList& arguments) override;
};

// `stat PATH`: looks the item up and prints every field the system reads.
class StatCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("stat"); }
    QString synopsis() const override { return QStringLiteral("PATH"); }
    int run(HostSession& session, const QStringList& arguments) override;
};

// `changes PATH`: asks for the changes since the container's kept anchor (none before the
// first `ls` or `changes`), prints deletions and updates, and keeps the new anchor.
class ChangesCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("changes"); }
    QString synopsis() const override { return QStringLiteral("PATH"); }
    int run(HostSession& session, const QStringList& arguments) override;
};
