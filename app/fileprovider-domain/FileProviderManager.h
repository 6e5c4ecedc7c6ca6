#pragma once

#include "app/fileprovider-domain/FileProviderStatus.h"
#include "platform/fileprovider/FileProviderDomain.h"
#include "shared/Identifiers.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

class FileProviderDomainService;
class FileViewer;

// The application's handle on its one file-provider domain: registers and removes it, nudges
// the extension to list again (invalidation token plus enumerator signals) on demand and
// periodically, and reveals items in the file manager. Main thread only.
class FileProviderManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(FileProviderStatus status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
public:
    static inline const QString kDomainID = Identifiers::kFileProviderDomain;
    static inline const QString kDisplayName = QStringLiteral("Kelvane");

    // Milliseconds since 1970 for the invalidation token.
    using Clock = std::function<qint64()>;
    struct Options {
        std::chrono::milliseconds backgroundSyncInterval = std::chrono::seconds(30);
        Clock clock;
    };

    FileProviderManager(FileProviderDomainService& domains, FileViewer& viewer,
                        QObject* parent = nullptr);
    FileProviderManager(FileProviderDomainService& domains, FileViewer& viewer, Options options,
                        QObject* parent = nullptr);

    static FileProviderDomain domain();

    // Makes the domain exist; a failure ends in status failed, never in an exception.
    QCoro::Task<> registerDomain();
    // Removes the domain; a failure is only logged.
    QCoro::Task<> unregisterDomain();
    // Bumps the invalidation token and signals the root and working-set enumerators.
    void refresh();
    // (Re)starts the periodic refresh; the first one comes one interval from now.
    void startBackgroundSync();
    // Shows the item at a slash-separated path below the domain root in the file manager.
    void reveal(const QString& path);

    FileProviderStatus status() const { return status_; }
    // The last registration failure's description; empty when none.
    QString lastError() const { return lastError_; }
    bool isBackgroundSyncRunning() const { return periodicTimer_.isActive(); }

signals:
    void statusChanged();
    void lastErrorChanged();
    // After each refresh(), whether or not a domain was there to signal.
    void refreshed();

private:
    bool isDomainAlreadyRegistered();
    void bumpInvalidationToken();
    void setStatus(const FileProviderStatus& status);
    void setLastError(const QString& error);

    FileProviderDomainService& domains_;
    FileViewer& viewer_;
    Options options_;
    FileProviderStatus status_;
    QString lastError_;
    QTimer periodicTimer_;
};
