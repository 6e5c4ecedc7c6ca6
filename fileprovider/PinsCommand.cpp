#include "fileprovider/PinsCommand.h"

#include "fileprovider/PinStore.h"
#include "platform/fileprovider/host/HostSession.h"

#include <QJsonArray>

int PinsCommand::run(HostSession& session, const QStringList& arguments) {
    if (!arguments.isEmpty())
        return session.failWith(HostSession::kUsage, QStringLiteral("pins takes no arguments"));
    const QStringList pinned = PinStore::pinnedPaths();
    if (session.json()) {
        session.printJson(QJsonArray::fromStringList(pinned));
        return HostSession::kOk;
    }
    for (const QString& path : pinned)
        session.print(path);
    return HostSession::kOk;
}
