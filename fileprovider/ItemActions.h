#pragma once

#include "platform/fileprovider/FileProviderDomain.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"

#include <QCoroTask>

class FileProviderDomainService;
class KelvaneAPI;
class TextPasteboard;

// Deleting items and the extension's custom actions: copy links to the clipboard, make items
// online-only (evict and unpin), download them now (pin and request the download).
namespace ItemActions {

inline const QString kCopyShareLink = QStringLiteral("copy-share-link");
inline const QString kMakeOnlineOnly = QStringLiteral("make-online-only");
inline const QString kDownloadNow = QStringLiteral("download-now");

struct Services {
    KelvaneAPI& api;
    FileProviderDomain domain;
    FileProviderDomainService* domains; // none: no manager, the actions fail with -2001
    TextPasteboard* pasteboard;         // none: copying links fails
};

QCoro::Task<> deleteItem(KelvaneAPI& api, QString identifier,
                         std::shared_ptr<FileProviderProgress> progress,
                         FileProviderReplicatedExtension::ErrorCompletion completion);

QCoro::Task<> performAction(Services services, QString action, QStringList identifiers,
                            std::shared_ptr<FileProviderProgress> progress,
                            FileProviderReplicatedExtension::ErrorCompletion completion);

} // namespace ItemActions
