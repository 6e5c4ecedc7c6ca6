#include "platform/fileprovider/host/HostCalls.h"

#include "platform/fileprovider/FileProviderItemFields.h"
#include "platform/fileprovider/host/HostSession.h"

#include <mutex>

namespace HostCalls {

namespace {

// One answer the extension hands back from any thread.
template <typename Answer> struct Pending {
    std::mutex mutex;
    Answer answer;
    std::shared_ptr<HostWakeup> wakeup = HostWakeup::make();

    void complete(const std::function<void(Answer&)>& fill) {
        {
            std::lock_guard lock(mutex);
            if (answer.completions++ == 0)
                fill(answer);
        }
        wakeup->notify();
    }
    std::optional<Answer> wait(HostSession& session) {
        const bool done = session.waitUntil(*wakeup, [this] {
            std::lock_guard lock(mutex);
            return answer.completions > 0;
        });
        if (!done)
            return std::nullopt;
        std::lock_guard lock(mutex);
        return answer;
    }
};

template <typename Answer> std::shared_ptr<Pending<Answer>> pending() {
    return std::make_shared<Pending<Answer>>();
}

FileProviderReplicatedExtension::ItemChangeCompletion
changeCompletion(const std::shared_ptr<Pending<ChangeAnswer>>& p) {
    return [p](FileProviderItemPtr item, quint64 remaining, bool fetchAgain,
               std::exception_ptr error) {
        p->complete([&](ChangeAnswer& a) {
            a.item = std::move(item);
            a.remainingFields = remaining;
            a.shouldFetchContent = fetchAgain;
            a.error = error;
        });
    };
}

FileProviderReplicatedExtension::ErrorCompletion
errorCompletion(const std::shared_ptr<Pending<ErrorAnswer>>& p) {
    return [p](std::exception_ptr error) { p->complete([&](ErrorAnswer& a) { a.error = error; }); };
}

} // namespace

std::optional<ItemAnswer> lookUp(HostSession& session, const QString& identifier) {
    auto p = pending<ItemAnswer>();
    const auto progress = session.extension().item(
        identifier, [p](FileProviderItemPtr item, std::exception_ptr error) {
            p->complete([&](ItemAnswer& a) {
                a.item = std::move(item);
                a.error = error;
            });
        });
    return p->wait(session);
}

std::optional<FetchAnswer> fetch(HostSession& session, const QString& identifier) {
    auto p = pending<FetchAnswer>();
    const auto progress = session.extension().fetchContents(
        identifier, {},
        [p](std::optional<QString> file, FileProviderItemPtr item, std::exception_ptr error) {
            p->complete([&](FetchAnswer& a) {
                a.file = std::move(file);
                a.item = std::move(item);
                a.error = error;
            });
        });
    return p->wait(session);
}

std::optional<PartialAnswer> fetchPartial(HostSession& session, const QString& identifier,
                                          FileProviderRange range, qint64 alignment) {
    auto p = pending<PartialAnswer>();
    const auto progress = session.extension().fetchPartialContents(
        identifier, {}, range, alignment, 0,
        [p](std::optional<QString> file, FileProviderItemPtr item, FileProviderRange fetched,
            quint64, std::exception_ptr error) {
            p->complete([&](PartialAnswer& a) {
                a.file = std::move(file);
                a.item = std::move(item);
                a.fetched = fetched;
                a.error = error;
            });
        });
    return p->wait(session);
}

std::optional<ChangeAnswer> create(HostSession& session, FileProviderItemPtr itemTemplate,
                                   std::optional<QString> contents) {
    auto p = pending<ChangeAnswer>();
    // The system names every field of a new item.
    const quint64 fields = FileProviderItemField::kContents | FileProviderItemField::kFilename |
                           FileProviderItemField::kParentItemIdentifier |
                           FileProviderItemField::kContentModificationDate |
                           FileProviderItemField::kCreationDate;
    const auto progress = session.extension().createItem(
        std::move(itemTemplate), fields, std::move(contents), 0, changeCompletion(p));
    return p->wait(session);
}

std::optional<ChangeAnswer> modify(HostSession& session, FileProviderItemPtr item,
                                   const FileProviderItemVersion& baseVersion,
                                   quint64 changedFields, std::optional<QString> contents) {
    auto p = pending<ChangeAnswer>();
    const auto progress = session.extension().modifyItem(
        std::move(item), baseVersion, changedFields, std::move(contents), 0, changeCompletion(p));
    return p->wait(session);
}

std::optional<ErrorAnswer> remove(HostSession& session, const QString& identifier) {
    auto p = pending<ErrorAnswer>();
    const auto progress = session.extension().deleteItem(identifier, {}, 0, errorCompletion(p));
    return p->wait(session);
}

std::optional<ErrorAnswer> perform(HostSession& session, const QString& action,
                                   const QStringList& identifiers) {
    auto p = pending<ErrorAnswer>();
    const auto progress =
        session.extension().performAction(action, identifiers, errorCompletion(p));
    return p->wait(session);
}

} // namespace HostCalls
