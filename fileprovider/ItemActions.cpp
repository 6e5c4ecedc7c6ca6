#include "fileprovider/ItemActions.h"

#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/FileProviderItem.h"
#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/PinStore.h"
#include "fileprovider/ShareLinks.h"
#include "platform/TextPasteboard.h"
#include "platform/fileprovider/FileProviderDomainService.h"
#include "platform/fileprovider/FileProviderError.h"
#include "shared/FileProviderConfig.h"
#include "shared/SharedConfigPayload.h"

namespace ItemActions {

namespace {

QString describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return describeError(e);
    }
}

class NoClipboardError : public KelvaneError {
public:
    QString description() const override {
        return QStringLiteral("There is no clipboard to copy the links to.");
    }
};

QCoro::Task<> copyShareLinks(const Services& s, const QStringList& identifiers) {
    const QString file = s.api.configFileSetting().isEmpty() ? FileProviderConfig::configFile()
                                                             : s.api.configFileSetting();
    const auto config = SharedConfigPayload::load(file);
    if (!config || !config->apiURL)
        co_return; // signed out: nothing to link to
    const QString text = ShareLinks::links(*config->apiURL, identifiers).join('\n');
    if (!s.pasteboard)
        throw NoClipboardError();
    co_await s.pasteboard->setString(text);
}

// Evicts or downloads each item; every item is tried, the first failure is kept.
std::exception_ptr applyToEach(FileProviderDomainManager& manager, const QString& action,
                               const QStringList& identifiers, FileProviderProgress& progress) {
    std::exception_ptr first;
    for (const QString& identifier : identifiers) {
        const QString path = FileProviderItem::path(identifier);
        try {
            if (action.endsWith(kMakeOnlineOnly)) {
                manager.evictItem(identifier);
                PinStore::setPinned(false, path);
            } else if (action.endsWith(kDownloadNow)) {
                PinStore::setPinned(true, path);
                manager.requestDownload(identifier);
            }
        } catch (...) {
            const std::exception_ptr error = std::current_exception();
            qCCritical(lcExtension).noquote()
                << QStringLiteral("customAction item=%1 err=%2").arg(identifier, describe(error));
            if (!first)
                first = error;
        }
        progress.addCompletedUnits(1);
    }
    return first;
}

} // namespace

QCoro::Task<> deleteItem(KelvaneAPI& api, QString identifier,
                         std::shared_ptr<FileProviderProgress> progress,
                         FileProviderReplicatedExtension::ErrorCompletion completion) {
    const QString path = FileProviderItem::path(identifier);
    // The root and the system's own containers are no item on the server: a DELETE for "/"
    // would ask it to empty the whole workspace.
    if (!path.startsWith('/') || path == QLatin1String("/")) {
        qCCritical(lcExtension).noquote()
            << QStringLiteral("deleteItem failed: %1 cannot be deleted").arg(identifier);
        completion(std::make_exception_ptr(FileProviderError::deletionRejected()));
        co_return;
    }
    try {
        co_await api.remove(path);
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        const QString text = describe(error);
        // Gone already is what was asked for.
        if (!text.contains(QLatin1String("404")) && !text.contains(QLatin1String("not found"))) {
            qCCritical(lcExtension).noquote() << QStringLiteral("deleteItem failed: %1").arg(text);
            completion(error);
            co_return;
        }
    }
    progress->setCompletedUnitCount(1);
    completion(nullptr);
}

QCoro::Task<> performAction(Services s, QString action, QStringList identifiers,
                            std::shared_ptr<FileProviderProgress> progress,
                            FileProviderReplicatedExtension::ErrorCompletion completion) {
    qCInfo(lcExtension).noquote()
        << QStringLiteral("customAction %1 on %2 items").arg(action).arg(identifiers.size());
    const auto manager = s.domains ? s.domains->managerForDomain(s.domain) : nullptr;
    if (!manager) {
        completion(std::make_exception_ptr(FileProviderError::providerNotFound()));
        co_return;
    }
    if (action.endsWith(kCopyShareLink)) {
        try {
            co_await copyShareLinks(s, identifiers);
        } catch (...) {
            completion(std::current_exception());
            co_return;
        }
        progress->setCompletedUnitCount(identifiers.size());
        completion(nullptr);
        co_return;
    }
    completion(applyToEach(*manager, action, identifiers, *progress));
}

} // namespace ItemActions
