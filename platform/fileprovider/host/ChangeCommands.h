#pragma once

#include "platform/fileprovider/host/HostCommand.h"

// `put LOCAL PATH`: the user saved LOCAL at PATH. A new item is created from it; an existing
// file gets it as its new contents.
class PutCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("put"); }
    QString synopsis() const override { return QStringLiteral("LOCAL PATH"); }
    int run(HostSession& session, const QStringList& arguments) override;
};

// `mkdir PATH`: the user made a folder.
class MkdirCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("mkdir"); }
    QString synopsis() const override { return QStringLiteral("PATH"); }
    int run(HostSession& session, const QStringList& arguments) override;
};

// `mv SRC DST`: the user renamed or moved an item.
class MoveCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("mv"); }
    QString synopsis() const override { return QStringLiteral("SRC DST"); }
    int run(HostSession& session, const QStringList& arguments) override;
};

// `rm PATH`: the user deleted an item.
class RemoveCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("rm"); }
    QString synopsis() const override { return QStringLiteral("PATH"); }
    int run(HostSession& session, const QStringList& arguments) override;
};
