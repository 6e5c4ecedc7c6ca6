#pragma once

#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/PrefetchTracker.h"
#include "fileprovider/TransferContext.h"
#include "fileprovider/TransferSession.h"
#include "platform/fileprovider/FileProviderDomain.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"

#include <QNetworkAccessManager>

class FileProviderDomainService;
class SyncStatusStore;
class TextPasteboard;

// The extension object the system makes for the registered domain. It keeps no table of
// items: an item's identifier is its server path, and every look-up lists the parent folder
// on the server. Entry points run on the main thread's event loop, each in its own task.
class FileProviderExtension : public FileProviderReplicatedExtension {
public:
    // The actions' declared identifiers (their endings decide what they do).
    static const QStringList& declaredActions();

    // What the extension gets from the system and, in tests, in place of the real thing.
    struct Services {
        SyncStatusStore* ledger = nullptr;            // the process's shared ledger when none
        FileProviderDomainService* domains = nullptr; // none: no domain manager (-2001)
        TextPasteboard* pasteboard = nullptr;         // none: links cannot be copied
        TransferContext::Sleep sleep;                 // retry back-off; a timer when empty
        PrefetchTracker::Clock clock;                 // read-ahead ages; the wall clock when empty
    };

    explicit FileProviderExtension(FileProviderDomain domain);
    FileProviderExtension(FileProviderDomain domain, SyncStatusStore& ledger);
    FileProviderExtension(FileProviderDomain domain, Services services);
    ~FileProviderExtension() override;

    // Names of operating-system metadata that never reach the server.
    static bool isSystemJunk(const QString& name);

    std::shared_ptr<FileProviderProgress> item(const QString& identifier,
                                               ItemCompletion completion) override;
    std::unique_ptr<FileProviderEnumeratorProtocol>
    enumerator(const QString& containerIdentifier) override;
    std::shared_ptr<FileProviderProgress> fetchContents(const QString& identifier,
                                                        const FileProviderItemVersion& version,
                                                        FetchCompletion completion) override;
    std::shared_ptr<FileProviderProgress>
    fetchPartialContents(const QString& identifier, const FileProviderItemVersion& version,
                         FileProviderRange minimalRange, qint64 alignment, quint64 options,
                         PartialFetchCompletion completion) override;
    std::shared_ptr<FileProviderProgress>
    createItem(FileProviderItemPtr itemTemplate, quint64 fields, std::optional<QString> contents,
               quint64 options, ItemChangeCompletion completion) override;
    std::shared_ptr<FileProviderProgress>
    modifyItem(FileProviderItemPtr item, const FileProviderItemVersion& baseVersion,
               quint64 changedFields, std::optional<QString> contents, quint64 options,
               ItemChangeCompletion completion) override;
    std::shared_ptr<FileProviderProgress> deleteItem(const QString& identifier,
                                                     const FileProviderItemVersion& baseVersion,
                                                     quint64 options,
                                                     ErrorCompletion completion) override;
    std::shared_ptr<FileProviderProgress> performAction(const QString& actionIdentifier,
                                                        const QStringList& itemIdentifiers,
                                                        ErrorCompletion completion) override;
    void invalidate() override;

    const FileProviderDomain& domain() const { return domain_; }
    KelvaneAPI& api() { return api_; }
    TransferSession& session() { return session_; }
    SyncStatusStore& ledger() { return ledger_; }
    PrefetchTracker& prefetcher() { return prefetcher_; }

private:
    void logConstruction() const;

    PrefetchTracker prefetcher_;
    FileProviderDomain domain_;
    Services services_;
    SyncStatusStore& ledger_;
    // The process's session for the files API's own requests.
    QNetworkAccessManager apiNetwork_;
    KelvaneAPI api_;
    TransferSession session_;
    TransferContext transfers_;
};
