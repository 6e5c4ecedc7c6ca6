#pragma once

#include "platform/fileprovider/host/HostCommand.h"

#include <QJsonArray>

// `action NAME PATH…`: the user picked one of the extension's declared actions on the items.
// NAME is the declared identifier or its last dot-separated piece. Afterwards the system
// serves the downloads the action asked for (into the domain's root) and the command shows
// what the clipboard was given.
class ActionCommand : public HostCommand {
public:
    explicit ActionCommand(QStringList declaredActions) : declared_(std::move(declaredActions)) {}

    QString name() const override { return QStringLiteral("action"); }
    QString synopsis() const override;
    int run(HostSession& session, const QStringList& arguments) override;

private:
    QString resolve(const QString& name) const;

    QStringList declared_;
};

// The system's side of "request download": fetches every item asked for and puts it at its
// place in the domain's root. One line (or JSON object) per item.
namespace DownloadRequests {
QJsonArray serve(HostSession& session);
} // namespace DownloadRequests
