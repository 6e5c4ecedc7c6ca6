#include "app/fileprovider-domain/FileProviderManager.h"

#include "platform/FileViewer.h"
#include "platform/fileprovider/FileProviderDomainService.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "shared/ConsoleLine.h"
#include "shared/InvalidationToken.h"
#include "shared/KelvaneError.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

const QString kTag = QStringLiteral("FileProvider");

} // namespace

FileProviderManager::FileProviderManager(FileProviderDomainService& domains, FileViewer& viewer,
                                         QObject* parent)
    : FileProviderManager(domains, viewer, Options{}, parent) {}

FileProviderManager::FileProviderManager(FileProviderDomainService& domains, FileViewer& viewer,
                                         Options options, QObject* parent)
    : QObject(parent), domains_(domains), viewer_(viewer), options_(std::move(options)) {
    if (!options_.clock)
        options_.clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    periodicTimer_.setSingleShot(false);
    // The timer is a member, so a destroyed manager can never be refreshed by it.
    connect(&periodicTimer_, &QTimer::timeout, this, &FileProviderManager::refresh);
}

FileProviderDomain FileProviderManager::domain() {
    return {kDomainID, kDisplayName};
}

void FileProviderManager::setStatus(const FileProviderStatus& status) {
    if (status_ == status)
        return;
    status_ = status;
    emit statusChanged();
}

void FileProviderManager::setLastError(const QString& error) {
    if (lastError_ == error)
        return;
    lastError_ = error;
    emit lastErrorChanged();
}

bool FileProviderManager::isDomainAlreadyRegistered() {
    const QList<FileProviderDomain> list = domains_.domains();
    return std::any_of(list.begin(), list.end(),
                       [](const FileProviderDomain& d) { return d.identifier == kDomainID; });
}

QCoro::Task<> FileProviderManager::registerDomain() {
    setStatus(FileProviderStatus::registering());
    if (isDomainAlreadyRegistered()) {
        setStatus(FileProviderStatus::registered());
        setLastError({});
        co_return;
    }
    try {
        domains_.addDomain(domain());
        setStatus(FileProviderStatus::registered());
        setLastError({});
        co_return;
    } catch (const std::exception& e) {
        // The system may report a failure for a domain that exists all the same.
        if (isDomainAlreadyRegistered()) {
            setStatus(FileProviderStatus::registered());
            setLastError({});
            co_return;
        }
        const QString d = describeError(e);
        setStatus(FileProviderStatus::failed(d));
        setLastError(d);
        ConsoleLine::print(kTag, QStringLiteral("Failed to register domain: ") + d);
    }
}

QCoro::Task<> FileProviderManager::unregisterDomain() {
    try {
        domains_.removeDomain(domain());
        setStatus(FileProviderStatus::unregistered());
    } catch (const std::exception& e) {
        ConsoleLine::print(kTag, QStringLiteral("Unregister error: ") + describeError(e));
    }
    co_return;
}

void FileProviderManager::bumpInvalidationToken() {
    // A token that cannot be written only means the extension keeps its old anchor.
    InvalidationToken::write(options_.clock());
}

void FileProviderManager::refresh() {
    bumpInvalidationToken();
    if (auto manager = domains_.managerForDomain(domain())) {
        manager->signalEnumerator(FileProviderItemIdentifier::kRootContainer);
        manager->signalEnumerator(FileProviderItemIdentifier::kWorkingSet);
    }
    emit refreshed();
}

void FileProviderManager::startBackgroundSync() {
    periodicTimer_.start(options_.backgroundSyncInterval);
    ConsoleLine::print(kTag, QStringLiteral("Background auto-sync started (30s interval)"));
}

void FileProviderManager::reveal(const QString& path) {
    const auto manager = domains_.managerForDomain(domain());
    if (!manager)
        return;
    const auto root = manager->userVisiblePath(FileProviderItemIdentifier::kRootContainer);
    if (!root)
        return;
    QString target = *root;
    for (const QString& piece : path.split('/', Qt::SkipEmptyParts)) {
        // A link from outside must not lead the file manager out of the domain's folder.
        if (piece == QLatin1String(".") || piece == QLatin1String(".."))
            continue;
        target += '/' + piece;
    }
    if (QFileInfo(target).isDir())
        viewer_.openFolder(target);
    else
        viewer_.selectItem(target);
}
