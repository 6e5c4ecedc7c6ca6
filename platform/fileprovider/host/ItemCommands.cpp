#include "platform/fileprovider/host/ItemCommands.h"

#include "platform/fileprovider/FileProviderItemFields.h"
#include "platform/fileprovider/host/HostObservers.h"
#include "platform/fileprovider/host/HostSession.h"

#include <QJsonArray>

namespace {

// A system keeps following pages and "more coming" answers, but not forever.
constexpr int kMaxRounds = 1000;

std::optional<QString> containerArgument(HostSession& session, const QStringList& arguments,
                                         int* exitCode) {
    if (arguments.size() != 1) {
        *exitCode = session.failWith(HostSession::kUsage, QStringLiteral("expected one PATH"));
        return std::nullopt;
    }
    const auto identifier = HostSession::identifierFor(arguments.first());
    if (!identifier)
        *exitCode = session.failWith(HostSession::kUsage,
                                     "not a path inside the domain: " + arguments.first());
    return identifier;
}

int timedOut(HostSession& session, const char* what) {
    return session.failWith(HostSession::kTimedOut,
                            QStringLiteral("the extension did not finish %1 in time").arg(what));
}

int finishedTwice(HostSession& session) {
    return session.failWith(HostSession::kFailed,
                            QStringLiteral("the extension finished one enumeration twice"));
}

std::optional<FileProviderSyncAnchor> currentAnchor(HostSession& session,
                                                    FileProviderEnumeratorProtocol& enumerator) {
    auto wakeup = HostWakeup::make();
    auto anchor = std::make_shared<std::optional<FileProviderSyncAnchor>>();
    enumerator.currentSyncAnchor([anchor, wakeup](FileProviderSyncAnchor value) {
        *anchor = std::move(value);
        wakeup->notify();
    });
    if (!session.waitUntil(*wakeup, [&] { return anchor->has_value(); }))
        return std::nullopt;
    return **anchor;
}

QString anchorText(const FileProviderSyncAnchor& anchor) {
    return QString::fromUtf8(anchor);
}

} // namespace

int ListCommand::run(HostSession& session, const QStringList& arguments) {
    int exitCode = HostSession::kUsage;
    const auto container = containerArgument(session, arguments, &exitCode);
    if (!container)
        return exitCode;
    const auto enumerator = session.extension().enumerator(*container);
    const auto anchor = currentAnchor(session, *enumerator);
    if (!anchor)
        return timedOut(session, "the sync anchor");

    QList<FileProviderItemPtr> items;
    FileProviderPage page;
    for (int round = 0; round < kMaxRounds; ++round) {
        auto wakeup = HostWakeup::make();
        auto collector = std::make_shared<ItemCollector>(wakeup);
        enumerator->enumerateItems(collector, page);
        if (!session.waitUntil(*wakeup, [&] { return collector->isFinished(); }))
            return timedOut(session, "the enumeration");
        if (collector->finishCount() > 1)
            return finishedTwice(session);
        if (collector->error())
            return session.fail(collector->error());
        items.append(collector->items());
        if (!collector->nextPage() || collector->nextPage()->isEmpty())
            break;
        page = *collector->nextPage();
    }
    enumerator->invalidate();
    session.anchors().set(*container, {*anchor, session.signalGeneration(*container)});

    QJsonArray array;
    for (const FileProviderItemPtr& item : std::as_const(items)) {
        const auto fields = FileProviderItemFields::of(*item);
        if (session.json())
            array.append(fields.toJson());
        else
            session.print(fields.line(fields.filename));
    }
    if (session.json())
        session.printJson(array);
    return HostSession::kOk;
}

int StatCommand::run(HostSession& session, const QStringList& arguments) {
    int exitCode = HostSession::kUsage;
    const auto identifier = containerArgument(session, arguments, &exitCode);
    if (!identifier)
        return exitCode;
    struct Answer {
        bool done = false;
        FileProviderItemPtr item;
        std::exception_ptr error;
    };
    auto wakeup = HostWakeup::make();
    auto answer = std::make_shared<Answer>();
    const auto progress = session.extension().item(
        *identifier, [answer, wakeup](FileProviderItemPtr item, std::exception_ptr error) {
            *answer = {true, std::move(item), error};
            wakeup->notify();
        });
    if (!session.waitUntil(*wakeup, [&] { return answer->done; }))
        return timedOut(session, "the item look-up");
    if (answer->error)
        return session.fail(answer->error);
    if (!answer->item)
        return session.failWith(HostSession::kFailed,
                                QStringLiteral("the extension answered with neither an item "
                                               "nor an error"));
    const auto fields = FileProviderItemFields::of(*answer->item);
    if (session.json()) {
        session.printJson(fields.toJson());
    } else {
        for (const QString& line : fields.describe())
            session.print(line);
    }
    return HostSession::kOk;
}

int ChangesCommand::run(HostSession& session, const QStringList& arguments) {
    int exitCode = HostSession::kUsage;
    const auto container = containerArgument(session, arguments, &exitCode);
    if (!container)
        return exitCode;
    const auto kept = session.anchors().get(*container);
    const qint64 generation = session.signalGeneration(*container);
    const FileProviderSyncAnchor previous = kept ? kept->anchor : FileProviderSyncAnchor();
    FileProviderSyncAnchor anchor = previous;
    const auto enumerator = session.extension().enumerator(*container);

    QList<FileProviderItemPtr> updated;
    QStringList deleted;
    for (int round = 0; round < kMaxRounds; ++round) {
        auto wakeup = HostWakeup::make();
        auto collector = std::make_shared<ChangeCollector>(wakeup);
        enumerator->enumerateChanges(collector, anchor);
        if (!session.waitUntil(*wakeup, [&] { return collector->isFinished(); }))
            return timedOut(session, "the change enumeration");
        if (collector->finishCount() > 1)
            return finishedTwice(session);
        if (collector->error())
            return session.fail(collector->error());
        deleted.append(collector->deleted());
        updated.append(collector->updated());
        anchor = collector->anchor();
        if (!collector->moreComing())
            break;
    }
    enumerator->invalidate();
    session.anchors().set(*container, {anchor, generation});

    if (session.json()) {
        QJsonArray updatedJson;
        for (const FileProviderItemPtr& item : std::as_const(updated))
            updatedJson.append(FileProviderItemFields::of(*item).toJson());
        session.printJson(QJsonObject{{"container", *container},
                                      {"previousAnchor", anchorText(previous)},
                                      {"anchor", anchorText(anchor)},
                                      {"signalled", kept && generation != kept->signalGeneration},
                                      {"deleted", QJsonArray::fromStringList(deleted)},
                                      {"updated", updatedJson}});
        return HostSession::kOk;
    }
    for (const QString& identifier : std::as_const(deleted))
        session.print("deleted\t" + identifier);
    for (const FileProviderItemPtr& item : std::as_const(updated)) {
        const auto fields = FileProviderItemFields::of(*item);
        session.print("updated\t" + fields.line(fields.itemIdentifier));
    }
    return HostSession::kOk;
}
