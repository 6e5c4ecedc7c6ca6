#include "fileprovider/FileProviderEnumerator.h"

#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/FileProviderItem.h"
#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/ListingCache.h"
#include "fileprovider/SyncStatusStore.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "shared/InvalidationToken.h"

#include <QSet>
#include <QStringDecoder>

namespace {

// Every error of this program says its user-facing text through what().
QString describe(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

QList<FileProviderItemPtr> itemsOf(const QList<Entry>& entries, const QString& containerPath) {
    QList<FileProviderItemPtr> items;
    items.reserve(entries.size());
    for (const Entry& e : entries)
        items.append(FileProviderItem::from(e, containerPath));
    return items;
}

QString identifierForChild(const QString& containerPath, const QString& name) {
    const QString path = FileProviderItem::childPath(containerPath, name);
    if (path.isEmpty() || path == QLatin1String("/"))
        return FileProviderItemIdentifier::kRootContainer;
    return path;
}

QString decodedAnchor(const FileProviderSyncAnchor& anchor) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(anchor);
    return decoder.hasError() ? QString() : text;
}

QCoro::Task<> runItemEnumeration(QString containerPath, KelvaneAPI& api, SyncStatusStore& ledger,
                                 std::shared_ptr<FileProviderEnumerationObserver> observer) {
    try {
        const auto listing = co_await FileProviderEnumerator::fetchAndCache(containerPath, api);
        observer->didEnumerateItems(itemsOf(listing.entries, containerPath));
        observer->finishEnumeratingUpToPage(std::nullopt);
        qCInfo(lcEnumerator).noquote() << QStringLiteral("enumerateItems %1: %2 items, token=%3")
                                              .arg(containerPath)
                                              .arg(listing.entries.size())
                                              .arg(listing.token);
    } catch (const std::exception& e) {
        qCInfo(lcEnumerator).noquote()
            << QStringLiteral("enumerateItems failed: %1").arg(describe(e));
        observer->finishEnumeratingWithError(std::current_exception());
    }
    ledger.endEnumeration();
}

// Keeps the candidates a second listing does not show; a failed second listing confirms all.
QCoro::Task<QStringList> confirmDeletions(QString containerPath, KelvaneAPI& api,
                                          QStringList candidates) {
    QSet<QString> present;
    try {
        for (const Entry& e : co_await api.list(containerPath))
            present.insert(e.name);
    } catch (const std::exception&) {
    }
    QStringList confirmed;
    for (const QString& name : std::as_const(candidates)) {
        if (!present.contains(name))
            confirmed.append(name);
    }
    if (confirmed.size() < candidates.size())
        qCInfo(lcEnumerator).noquote()
            << QStringLiteral("enumerateChanges: %1 candidate-deletions in %2 reappeared on "
                              "second fetch — suppressed")
                   .arg(candidates.size() - confirmed.size())
                   .arg(containerPath);
    co_return confirmed;
}

QCoro::Task<> runChangeEnumeration(QString containerPath, KelvaneAPI& api, SyncStatusStore& ledger,
                                   std::shared_ptr<FileProviderChangeObserver> observer) {
    try {
        const auto previous = ListingCache::load(containerPath);
        const auto listing = co_await FileProviderEnumerator::fetchAndCache(containerPath, api);
        QList<ListingCache::CachedEntry> current;
        current.reserve(listing.entries.size());
        for (const Entry& e : listing.entries)
            current.append(ListingCache::CachedEntry::of(e));
        ListingCache::Diff diff = ListingCache::diff(
            previous ? previous->entries : QList<ListingCache::CachedEntry>(), current);

        if (!diff.deleted.isEmpty() && ledger.hasActiveTransfersUnder(containerPath)) {
            qCInfo(lcEnumerator).noquote()
                << QStringLiteral("enumerateChanges: %1 candidate-deletions in %2 suppressed — "
                                  "active transfers under this path")
                       .arg(diff.deleted.size())
                       .arg(containerPath);
            diff.deleted.clear();
        }
        if (!diff.deleted.isEmpty())
            diff.deleted = co_await confirmDeletions(containerPath, api, diff.deleted);
        if (!diff.deleted.isEmpty()) {
            QStringList identifiers;
            for (const QString& name : std::as_const(diff.deleted))
                identifiers.append(identifierForChild(containerPath, name));
            observer->didDeleteItemsWithIdentifiers(identifiers);
            qCInfo(lcEnumerator).noquote()
                << QStringLiteral("enumerateChanges: deleted %1 items in %2")
                       .arg(identifiers.size())
                       .arg(containerPath);
        }

        const QSet<QString> changed(diff.added.begin(), diff.added.end());
        const QSet<QString> modified(diff.modified.begin(), diff.modified.end());
        if (!changed.isEmpty() || !modified.isEmpty()) {
            QList<FileProviderItemPtr> items;
            for (const Entry& e : listing.entries) {
                if (changed.contains(e.name) || modified.contains(e.name))
                    items.append(FileProviderItem::from(e, containerPath));
            }
            observer->didUpdateItems(items);
            qCInfo(lcEnumerator).noquote()
                << QStringLiteral("enumerateChanges: updated %1 items in %2")
                       .arg(items.size())
                       .arg(containerPath);
        }
        observer->finishEnumeratingChangesUpToSyncAnchor(
            FileProviderEnumerator::anchorFor(listing.token), false);
    } catch (const std::exception& e) {
        qCInfo(lcEnumerator).noquote()
            << QStringLiteral("enumerateChanges failed: %1").arg(describe(e));
        observer->finishEnumeratingWithError(std::current_exception());
    }
    ledger.endEnumeration();
}

} // namespace

FileProviderEnumerator::FileProviderEnumerator(QString containerPath, KelvaneAPI& api,
                                               SyncStatusStore& ledger)
    : containerPath_(std::move(containerPath)), api_(api), ledger_(ledger) {}

bool FileProviderEnumerator::isSkipped() const {
    return containerPath_.startsWith(QLatin1String("NSFileProvider")) ||
           containerPath_.contains(QLatin1String("WorkingSet")) ||
           containerPath_.contains(QLatin1String("TrashContainer"));
}

QString FileProviderEnumerator::currentToken() {
    return InvalidationToken::read();
}

FileProviderSyncAnchor FileProviderEnumerator::anchorFor(const QString& token) {
    return token.toUtf8();
}

QCoro::Task<FileProviderEnumerator::Listing>
FileProviderEnumerator::fetchAndCache(QString containerPath, KelvaneAPI& api) {
    QList<Entry> entries = co_await api.list(containerPath);
    entries.removeIf([](const Entry& e) { return FileProviderExtension::isSystemJunk(e.name); });
    Listing listing{std::move(entries), currentToken()};
    ListingCache::save(listing.entries, listing.token, containerPath);
    co_return listing;
}

void FileProviderEnumerator::enumerateItems(
    std::shared_ptr<FileProviderEnumerationObserver> observer, const FileProviderPage&) {
    if (isSkipped()) {
        observer->finishEnumeratingUpToPage(std::nullopt);
        return;
    }
    ledger_.beginEnumeration();
    runItemEnumeration(containerPath_, api_, ledger_, std::move(observer));
}

void FileProviderEnumerator::enumerateChanges(std::shared_ptr<FileProviderChangeObserver> observer,
                                              const FileProviderSyncAnchor& anchor) {
    if (isSkipped() || decodedAnchor(anchor) == currentToken()) {
        observer->finishEnumeratingChangesUpToSyncAnchor(anchor, false);
        return;
    }
    ledger_.beginEnumeration();
    runChangeEnumeration(containerPath_, api_, ledger_, std::move(observer));
}

void FileProviderEnumerator::currentSyncAnchor(
    std::function<void(FileProviderSyncAnchor)> completion) {
    completion(anchorFor(currentToken()));
}
