#pragma once

#include "app/api/Filespace.h"
#include "app/settings/AppSettings.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

class APIClient;
class FileProviderManager;
class MountManager;
class SyncListener;
class SyncStatusReader;
class UserDefaults;

// Makes the user's filespaces available: mounted as drives, or served by the file-provider
// extension. One operation runs at a time (an activation, an unmount of every drive, or both
// in turn); a new request supersedes the ones still waiting, and a running activation stops at
// its next step once superseded, so no engine is ever started for a mount nobody tracks.
// An activation that fails for want of the network is tried again with back-off, and at once
// when the network comes back, until it succeeds, a newer request comes, or the session ends.
// Triggers: the launch's restore, a sign-in, a settings save, the retry timer, quitting.
class StorageActivation : public QObject {
    Q_OBJECT
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
public:
    enum class Phase { idle, connecting, mounting, waitingToRetry, unmounting };
    Q_ENUM(Phase)

    struct Components {
        APIClient& api;
        MountManager& mounts;
        FileProviderManager& fileProvider;
        SyncStatusReader& activity;
        UserDefaults& defaults;
        std::function<SyncListener&()> listener;
    };
    struct Options {
        std::chrono::milliseconds retryFirst{2000};
        std::chrono::milliseconds retryMax{60'000};
        // Time the system is given to load the extension before it is nudged.
        std::chrono::milliseconds fileProviderSettle{2000};
        bool followNetwork = true;
    };

    StorageActivation(Components components, Options options, QObject* parent = nullptr);
    explicit StorageActivation(Components components, QObject* parent = nullptr);
    ~StorageActivation() override;

    // The launch's restore: confirms the session, then activates the settings' mode (also when
    // the server cannot be reached). A 401 ends in sessionRejected() and activates nothing.
    QCoro::Task<> restore(StorageMode mode);
    QCoro::Task<> activate(StorageMode mode);
    QCoro::Task<> unmountAll();
    // Every drive unmounted from the last base, then the mode activated: one operation.
    QCoro::Task<> remount(StorageMode mode);
    // The session ended: no more retries until the next request.
    void stopRetrying();
    // Quitting: the last request was the final unmount; later ones are ignored.
    void shutDown() { shutDown_ = true; stopRetrying(); }

    Phase phase() const { return phase_; }
    bool isRetryPending() const { return retryTimer_.isActive(); }

signals:
    void phaseChanged();
    void restoreFinished();
    void activationFinished(StorageMode mode);
    // The server refused the stored token: the session must end.
    void sessionRejected();
    // One operation has ended and the next waiting one may start.
    void operationEnded();

private:
    enum class Kind { restore, activate, unmountAll, remount };
    enum class Outcome { done, retryLater, rejected };

    QCoro::Task<> submit(Kind kind, StorageMode mode);
    QCoro::Task<Outcome> perform(Kind kind, StorageMode mode);
    QCoro::Task<Outcome> confirmSession();
    QCoro::Task<Outcome> activateMode(StorageMode mode);
    QCoro::Task<Outcome> activateFileProvider();
    QCoro::Task<Outcome> activateDirectMount();
    QCoro::Task<QMap<QString, QString>> tuningOverrides();
    QCoro::Task<> mountEach(QList<Filespace> filespaces, AppSettings settings,
                            QMap<QString, QString> overrides);
    QCoro::Task<> unmountEveryDrive();
    bool superseded() const { return newest_ != running_; }
    void setPhase(Phase phase);
    void scheduleRetry(StorageMode mode);
    void followNetwork();
    AppSettings settings() const;

    Components c_;
    Options options_;
    Phase phase_ = Phase::idle;
    quint64 newest_ = 0;
    quint64 running_ = 0;
    bool busy_ = false;
    bool shutDown_ = false;
    QTimer retryTimer_;
    std::chrono::milliseconds nextRetryDelay_;
    StorageMode retryMode_ = StorageMode::directMount;
};
