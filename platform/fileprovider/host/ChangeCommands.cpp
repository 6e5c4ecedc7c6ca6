#include "platform/fileprovider/host/ChangeCommands.h"

#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemTemplate.h"
#include "platform/fileprovider/host/HostArguments.h"
#include "platform/fileprovider/host/HostCalls.h"

#include <QFileInfo>
#include <QJsonObject>

namespace {

using HostArguments::completedTwice;

bool isNoSuchItem(HostSession& session, std::exception_ptr error) {
    const HostErrorInfo info = session.describe(error);
    return info.domain == QLatin1String("NSFileProviderErrorDomain") &&
           info.code == FileProviderError::kNoSuchItem;
}

int report(HostSession& session, const std::optional<HostCalls::ChangeAnswer>& answer) {
    if (!answer)
        return session.timedOutWaitingFor(QStringLiteral("the change"));
    if (answer->completions > 1)
        return completedTwice(session);
    if (answer->error)
        return session.fail(answer->error);
    if (!answer->item)
        return session.failWith(HostSession::kFailed,
                                QStringLiteral("the extension answered with neither an item "
                                               "nor an error"));
    session.printItem(*answer->item);
    return HostSession::kOk;
}

// The item at the path as the system knows it; nothing (the failure printed) otherwise.
std::optional<HostCalls::ItemAnswer> existing(HostSession& session, const QString& id,
                                              int* exitCode) {
    const auto found = HostCalls::lookUp(session, id);
    if (!found) {
        *exitCode = session.timedOutWaitingFor(QStringLiteral("the item look-up"));
        return std::nullopt;
    }
    return found;
}

} // namespace

int PutCommand::run(HostSession& session, const QStringList& arguments) {
    if (arguments.size() != 2)
        return session.failWith(HostSession::kUsage, QStringLiteral("expected LOCAL PATH"));
    const QFileInfo local(arguments[0]);
    if (!local.isFile() || !local.isReadable())
        return session.failWith(HostSession::kUsage, "not a readable file: " + arguments[0]);
    int exitCode = HostSession::kUsage;
    const auto path = HostArguments::itemPath(session, arguments[1], &exitCode);
    if (!path)
        return exitCode;
    const auto found = existing(session, *path, &exitCode);
    if (!found)
        return exitCode;
    if (found->error && !isNoSuchItem(session, found->error))
        return session.fail(found->error);

    FileProviderItemTemplate::Fields fields{{},
                                            HostArguments::parentIdentifierOf(*path),
                                            HostArguments::nameOf(*path),
                                            FileProviderContentType::kData,
                                            local.size(),
                                            local.lastModified()};
    if (!found->item) {
        auto itemTemplate = std::make_shared<FileProviderItemTemplate>(fields);
        return report(session, HostCalls::create(session, itemTemplate, local.absoluteFilePath()));
    }
    if (found->item->contentType() == FileProviderContentType::kFolder)
        return session.failWith(HostSession::kFailed, *path + " is a folder");
    fields.itemIdentifier = *path;
    fields.contentType = found->item->contentType();
    auto item = std::make_shared<FileProviderItemTemplate>(fields);
    return report(session, HostCalls::modify(session, item, found->item->itemVersion(),
                                             FileProviderItemField::kContents |
                                                 FileProviderItemField::kContentModificationDate,
                                             local.absoluteFilePath()));
}

int MkdirCommand::run(HostSession& session, const QStringList& arguments) {
    if (arguments.size() != 1)
        return session.failWith(HostSession::kUsage, QStringLiteral("expected PATH"));
    int exitCode = HostSession::kUsage;
    const auto path = HostArguments::itemPath(session, arguments[0], &exitCode);
    if (!path)
        return exitCode;
    auto itemTemplate = std::make_shared<FileProviderItemTemplate>(
        FileProviderItemTemplate::Fields{{},
                                         HostArguments::parentIdentifierOf(*path),
                                         HostArguments::nameOf(*path),
                                         FileProviderContentType::kFolder,
                                         std::nullopt,
                                         QDateTime::currentDateTimeUtc()});
    return report(session, HostCalls::create(session, itemTemplate, std::nullopt));
}

int MoveCommand::run(HostSession& session, const QStringList& arguments) {
    if (arguments.size() != 2)
        return session.failWith(HostSession::kUsage, QStringLiteral("expected SRC DST"));
    int exitCode = HostSession::kUsage;
    const auto source = HostArguments::itemPath(session, arguments[0], &exitCode);
    const auto target =
        source ? HostArguments::itemPath(session, arguments[1], &exitCode) : std::nullopt;
    if (!source || !target)
        return exitCode;
    const auto found = existing(session, *source, &exitCode);
    if (!found)
        return exitCode;
    if (found->error)
        return session.fail(found->error);
    const QString parent = HostArguments::parentIdentifierOf(*target);
    const QString name = HostArguments::nameOf(*target);
    quint64 changed = 0;
    if (parent != found->item->parentItemIdentifier())
        changed |= FileProviderItemField::kParentItemIdentifier;
    if (name != found->item->filename())
        changed |= FileProviderItemField::kFilename;
    auto item = std::make_shared<FileProviderItemTemplate>(FileProviderItemTemplate::Fields{
        *source, parent, name, found->item->contentType(), found->item->documentSize(),
        found->item->contentModificationDate()});
    return report(session, HostCalls::modify(session, item, found->item->itemVersion(), changed,
                                             std::nullopt));
}

int RemoveCommand::run(HostSession& session, const QStringList& arguments) {
    if (arguments.size() != 1)
        return session.failWith(HostSession::kUsage, QStringLiteral("expected PATH"));
    int exitCode = HostSession::kUsage;
    const auto path = HostArguments::itemPath(session, arguments[0], &exitCode);
    if (!path)
        return exitCode;
    const auto answer = HostCalls::remove(session, *path);
    if (!answer)
        return session.timedOutWaitingFor(QStringLiteral("the deletion"));
    if (answer->completions > 1)
        return completedTwice(session);
    if (answer->error)
        return session.fail(answer->error);
    if (session.json())
        session.printJson(QJsonObject{{"deleted", *path}});
    else
        session.print("deleted\t" + *path);
    return HostSession::kOk;
}
