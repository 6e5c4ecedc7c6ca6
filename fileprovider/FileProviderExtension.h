#pragma once

#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/TransferSession.h"
#include "platform/fileprovider/FileProviderDomain.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"

#include <QNetworkAccessManager>

class SyncStatusStore;

// The extension object the system makes for the registered domain. It keeps no table of
// items: an item's identifier is its server path, and every look-up lists the parent folder
// on the server. Entry points run on the main thread's event loop, each in its own task.
class FileProviderExtension : public FileProviderReplicatedExtension {
public:
    explicit FileProviderExtension(FileProviderDomain domain);
    // The ledger is the process's shared one unless a test hands in its own.
    FileProviderExtension(FileProviderDomain domain, SyncStatusStore& ledger);
    ~FileProviderExtension() override;

    // Names of operating-system metadata that never reach the server.
    static bool isSystemJunk(const QString& name);

    std::shared_ptr<FileProviderProgress> item(const QString& identifier,
                                               ItemCompletion completion) override;
    std::unique_ptr<FileProviderEnumeratorProtocol>
    enumerator(const QString& containerIdentifier) override;
    void invalidate() override;

    const FileProviderDomain& domain() const { return domain_; }
    KelvaneAPI& api() { return api_; }
    TransferSession& session() { return session_; }
    SyncStatusStore& ledger() { return ledger_; }

private:
    void logConstruction() const;

    FileProviderDomain domain_;
    SyncStatusStore& ledger_;
    // The process's session for the files API's own requests.
    QNetworkAccessManager apiNetwork_;
    KelvaneAPI api_;
    TransferSession session_;
};
