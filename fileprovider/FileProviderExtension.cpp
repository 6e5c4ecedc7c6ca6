#include "fileprovider/FileProviderExtension.h"

#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/FileProviderEnumerator.h"
#include "fileprovider/FileProviderItem.h"
#include "fileprovider/SyncStatusStore.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "shared/FileProviderConfig.h"
#include "shared/SharedConfigPayload.h"

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

FileProviderExtension::FileProviderExtension(FileProviderDomain domain)
    : FileProviderExtension(std::move(domain), SyncStatusStore::shared()) {}

FileProviderExtension::FileProviderExtension(FileProviderDomain domain, SyncStatusStore& ledger)
    : domain_(std::move(domain)), ledger_(ledger), api_(apiNetwork_) {
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

void FileProviderExtension::invalidate() {
    session_.invalidateAndCancel();
}
