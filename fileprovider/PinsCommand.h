#pragma once

#include "platform/fileprovider/host/HostCommand.h"

// `pins`: the items kept downloaded, one server path a line (a JSON array with --json).
class PinsCommand : public HostCommand {
public:
    QString name() const override { return QStringLiteral("pins"); }
    QString synopsis() const override { return {}; }
    int run(HostSession& session, const QStringList& arguments) override;
};
