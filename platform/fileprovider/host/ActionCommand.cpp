#include "platform/fileprovider/host/ActionCommand.h"

#include "platform/TextPasteboard.h"
#include "platform/fileprovider/host/HostArguments.h"
#include "platform/fileprovider/host/HostCalls.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

QString shortName(const QString& identifier) {
    return identifier.section('.', -1);
}

} // namespace

QString ActionCommand::synopsis() const {
    QStringList names;
    for (const QString& a : declared_)
        names.append(shortName(a));
    return names.join('|') + QStringLiteral(" PATH…");
}

QString ActionCommand::resolve(const QString& name) const {
    for (const QString& a : declared_) {
        if (a == name || shortName(a) == name)
            return a;
    }
    return {};
}

int ActionCommand::run(HostSession& session, const QStringList& arguments) {
    if (arguments.size() < 2)
        return session.failWith(HostSession::kUsage, "expected " + synopsis());
    const QString action = resolve(arguments[0]);
    if (action.isEmpty())
        return session.failWith(HostSession::kUsage, "the extension declares no action \"" +
                                                         arguments[0] + "\": " + synopsis());
    QStringList identifiers;
    int exitCode = HostSession::kUsage;
    for (const QString& path : arguments.mid(1)) {
        const auto id = HostArguments::identifier(session, path, &exitCode);
        if (!id)
            return exitCode;
        identifiers.append(*id);
    }
    const std::optional<QString> before = session.pasteboard().string();
    const auto answer = HostCalls::perform(session, action, identifiers);
    if (!answer)
        return session.timedOutWaitingFor(QStringLiteral("the action"));
    if (answer->completions > 1)
        return HostArguments::completedTwice(session);
    // What was asked for is downloaded whether or not the action reported an error.
    const QJsonArray downloads = DownloadRequests::serve(session);
    const std::optional<QString> pasted = session.pasteboard().string();
    const bool pastedNow = pasted && pasted != before;

    if (session.json()) {
        QJsonObject report{{"action", action}, {"downloads", downloads}};
        if (pastedNow)
            report.insert("pasteboard", *pasted);
        if (answer->error)
            report.insert("error", session.describe(answer->error).toJson());
        session.printJson(report);
        return answer->error ? HostSession::kFailed : HostSession::kOk;
    }
    if (pastedNow) {
        for (const QString& line : pasted->split('\n'))
            session.print("pasteboard\t" + line);
    }
    if (answer->error)
        return session.fail(answer->error);
    session.print("done\t" + action);
    return HostSession::kOk;
}

namespace DownloadRequests {

QJsonArray serve(HostSession& session) {
    QJsonArray report;
    for (const QString& id : session.domainManager().takeDownloadRequests()) {
        QJsonObject entry{{"identifier", id}};
        const auto answer = HostCalls::fetch(session, id);
        const auto place = session.domainManager().userVisiblePath(id);
        QString error;
        if (!answer)
            error = QStringLiteral("the extension did not finish the download in time");
        else if (answer->error)
            error = session.describe(answer->error).text();
        else if (!answer->file || !place)
            error = QStringLiteral("no file to keep");
        else if (HostArguments::moveFile(*answer->file, *place, &error))
            entry.insert("file", *place);
        if (!error.isEmpty())
            entry.insert("error", error);
        if (!session.json())
            session.print(error.isEmpty() ? "downloaded\t" + id + '\t' + *place
                                          : "download failed\t" + id + '\t' + error);
        report.append(entry);
    }
    return report;
}

} // namespace DownloadRequests
