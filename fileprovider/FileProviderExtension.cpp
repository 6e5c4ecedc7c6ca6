#include "fileprovider/FileProviderExtension.h"

#include "fileprovider/ContentFetch.h"
#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/FileProviderEnumerator.h"
#include "fileprovider/FileProviderItem.h"
#include "fileprovider/ItemActions.h"
#include "fileprovider/ItemChanges.h"
#include "fileprovider/SyncStatusStore.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "shared/FileProviderConfig.h"
#include "shared/SharedConfigPayload.h"

#include <QCoroTimer>

namespace {

QCoro::Task<> lookUp(QString path, KelvaneAPI& api,
                     FileProviderReplicatedExtension::ItemCompletion completion,
                     std::shared_ptr<FileProviderProgress> progress) {
    const qsizetype slash = path.lastIndexOf('/');
    const QString parent = slash <= 0 ? QStringLiteral("/") : path.left(slash);
    const QString name = path.mid(slash + 1);
    try {
        const QList<Entry> entries = co_await api.list(parent);
        const auto match = std::find_if(entries.begin(), entries.end(),
                                        [&](const Entry& e) { return e.name == name; });
        if (match != entries.end())
            completion(FileProviderItem::from(*match, parent), nullptr);
        else
            completion(nullptr, std::make_exception_ptr(FileProviderError::noSuchItem()));
    } catch (...) {
        completion(nullptr, std::current_exception());
    }
    progress->setCompletedUnitCount(1);
}

} // namespace

namespace {

FileProviderExtension::Services servicesWith(SyncStatusStore& ledger) {
    FileProviderExtension::Services services;
    services.ledger = &ledger;
    return services;
}

} // namespace

const QStringList& FileProviderExtension::declaredActions() {
    static const QStringList actions{
        QStringLiteral("com.30814qv.kelvane.fileprovider.action.") + ItemActions::kCopyShareLink,
        QStringLiteral("com.30814qv.kelvane.fileprovider.action.") + ItemActions::kMakeOnlineOnly,
        QStringLiteral("com.30814qv.kelvane.fileprovider.action.") + ItemActions::kDownloadNow};
    return actions;
}

FileProviderExtension::FileProviderExtension(FileProviderDomain domain)
    : FileProviderExtension(std::move(domain), Services{}) {}

FileProviderExtension::FileProviderExtension(FileProviderDomain domain, SyncStatusStore& ledger)
    : FileProviderExtension(std::move(domain), servicesWith(ledger)) {}

FileProviderExtension::FileProviderExtension(FileProviderDomain domain, Services services)
    : prefetcher_(services.clock), domain_(std::move(domain)), services_(std::move(services)),
      ledger_(services_.ledger ? *services_.ledger : SyncStatusStore::shared()),
      api_(apiNetwork_), transfers_{api_, session_, ledger_, prefetcher_,
                                    services_.sleep ? services_.sleep
                                                    : TransferContext::Sleep(
                                                          [](std::chrono::milliseconds delay) {
                                                              return QCoro::sleepFor(delay);
                                                          })} {
    logConstruction();
}

FileProviderExtension::~FileProviderExtension() = default;

void FileProviderExtension::logConstruction() const {
    // Only for the log: the files API reads the file afresh for every request.
    const auto config = SharedConfigPayload::load(FileProviderConfig::configFile());
    const QString apiURL = config && config->apiURL ? *config->apiURL : QStringLiteral("nil");
    const QString token =
        config && config->token ? QStringLiteral("present") : QStringLiteral("missing");
    qCInfo(lcExtension).noquote() << QStringLiteral("init domain=%1 apiURL=%2 token=%3")
                                         .arg(domain_.identifier, apiURL, token);
}

bool FileProviderExtension::isSystemJunk(const QString& name) {
    return name == QLatin1String(".Trash") || name == QLatin1String(".trash") ||
           name == QLatin1String(".DS_Store") || name.startsWith(QLatin1String("._")) ||
           name.startsWith(QLatin1String(".fseventsd")) ||
           name.startsWith(QLatin1String(".Spotlight-")) ||
           name.startsWith(QLatin1String(".DocumentRevisions"));
}

std::shared_ptr<FileProviderProgress> FileProviderExtension::item(const QString& identifier,
                                                                  ItemCompletion completion) {
    auto progress = std::make_shared<FileProviderProgress>(1);
    if (identifier == FileProviderItemIdentifier::kRootContainer) {
        completion(FileProviderItem::root(), nullptr);
        progress->setCompletedUnitCount(1);
        return progress;
    }
    lookUp(FileProviderItem::path(identifier), api_, std::move(completion), progress);
    return progress;
}

std::unique_ptr<FileProviderEnumeratorProtocol>
FileProviderExtension::enumerator(const QString& containerIdentifier) {
    return std::make_unique<FileProviderEnumerator>(FileProviderItem::path(containerIdentifier),
                                                    api_, ledger_);
}

std::shared_ptr<FileProviderProgress>
FileProviderExtension::fetchContents(const QString& identifier, const FileProviderItemVersion&,
                                     FetchCompletion completion) {
    auto progress = std::make_shared<FileProviderProgress>(100);
    ContentFetch::fetchContents(transfers_, identifier, progress, std::move(completion));
    return progress;
}

std::shared_ptr<FileProviderProgress> FileProviderExtension::fetchPartialContents(
    const QString& identifier, const FileProviderItemVersion&, FileProviderRange minimalRange,
    qint64 alignment, quint64, PartialFetchCompletion completion) {
    auto progress =
        std::make_shared<FileProviderProgress>(std::max<qint64>(minimalRange.length, 1));
    ContentFetch::fetchPartialContents(transfers_, identifier, minimalRange, alignment, progress,
                                       std::move(completion));
    return progress;
}

std::shared_ptr<FileProviderProgress>
FileProviderExtension::createItem(FileProviderItemPtr itemTemplate, quint64,
                                  std::optional<QString> contents, quint64,
                                  ItemChangeCompletion completion) {
    auto progress = std::make_shared<FileProviderProgress>(100);
    ItemChanges::createItem(transfers_, std::move(itemTemplate), std::move(contents), progress,
                            std::move(completion));
    return progress;
}

std::shared_ptr<FileProviderProgress>
FileProviderExtension::modifyItem(FileProviderItemPtr item, const FileProviderItemVersion&,
                                  quint64 changedFields, std::optional<QString> contents, quint64,
                                  ItemChangeCompletion completion) {
    auto progress = std::make_shared<FileProviderProgress>(100);
    ItemChanges::modifyItem(transfers_, std::move(item), changedFields, std::move(contents),
                            progress, std::move(completion));
    return progress;
}

std::shared_ptr<FileProviderProgress>
FileProviderExtension::deleteItem(const QString& identifier, const FileProviderItemVersion&,
                                  quint64, ErrorCompletion completion) {
    auto progress = std::make_shared<FileProviderProgress>(1);
    ItemActions::deleteItem(api_, identifier, progress, std::move(completion));
    return progress;
}

std::shared_ptr<FileProviderProgress>
FileProviderExtension::performAction(const QString& actionIdentifier,
                                     const QStringList& itemIdentifiers,
                                     ErrorCompletion completion) {
    auto progress =
        std::make_shared<FileProviderProgress>(std::max<qint64>(itemIdentifiers.size(), 1));
    ItemActions::performAction({api_, domain_, services_.domains, services_.pasteboard},
                               actionIdentifier, itemIdentifiers, progress, std::move(completion));
    return progress;
}

void FileProviderExtension::invalidate() {
    session_.invalidateAndCancel();
}
