#pragma once

#include "app/activity/StatsSample.h"
#include "app/activity/UploadBurstModel.h"
#include "shared/SyncStatus.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

// Tells the user interface whether the drive is busy and how far uploads have got. Twice a
// second it reads the extension's sync-status ledger and the .stats file of each watched
// JuiceFS mount. Each source is read on a worker with its own time limit: one that has not
// answered is skipped (its last values stand) while the others go on being read, and no second
// read of it starts while the first is stuck. Every published value changes on the main thread.
class SyncStatusReader : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool juicefsActive READ juicefsActive NOTIFY changed)
    Q_PROPERTY(qint64 juicefsUploading READ juicefsUploading NOTIFY changed)
    Q_PROPERTY(qint64 juicefsStaging READ juicefsStaging NOTIFY changed)
    Q_PROPERTY(bool juicefsDownloading READ juicefsDownloading NOTIFY changed)
    Q_PROPERTY(qint64 uploadBacklogBytes READ uploadBacklogBytes NOTIFY changed)
    Q_PROPERTY(qint64 uploadedThisBurst READ uploadedThisBurst NOTIFY changed)
    Q_PROPERTY(double uploadRate READ uploadRate NOTIFY changed)
    Q_PROPERTY(bool isAnyActive READ isAnyActive NOTIFY changed)
    Q_PROPERTY(double uploadFraction READ uploadFraction NOTIFY changed)
public:
    using Clock = std::function<UploadBurstModel::TimePoint()>;
    struct Options {
        std::chrono::milliseconds tickInterval = std::chrono::milliseconds(500);
        // Monotonic time for the upload model; the steady clock when empty.
        Clock clock;
        // The extension's ledger when empty.
        QString ledgerFile;
        // How long a round waits for its sources.
        std::chrono::milliseconds readLimit = std::chrono::milliseconds(400);
    };

    static constexpr int kDownloadHoldTicks = 4;

    explicit SyncStatusReader(QObject* parent = nullptr);
    explicit SyncStatusReader(Options options, QObject* parent = nullptr);

    // (Re)starts the repeating tick and samples once at once.
    void start();
    void stop();
    // The mount points to watch; an empty list clears the JuiceFS flags and counts at once.
    void setJuicefsMountPaths(const QStringList& mountPaths);
    // One sampling round. While a round is still reading, a new one is skipped.
    QCoro::Task<> tick();

    const SyncStatus& status() const { return status_; }
    bool juicefsActive() const { return juicefsActive_; }
    qint64 juicefsUploading() const { return juicefsUploading_; }
    qint64 juicefsStaging() const { return juicefsStaging_; }
    bool juicefsDownloading() const { return juicefsDownloading_; }
    qint64 uploadBacklogBytes() const { return burst_.backlogBytes(); }
    qint64 uploadedThisBurst() const { return burst_.uploadedThisBurst(); }
    double uploadRate() const { return burst_.uploadRate(); }
    std::optional<double> uploadETA() const { return burst_.uploadETA(); }

    qsizetype uploadCount() const { return status_.count(SyncTransfer::Direction::upload); }
    qsizetype downloadCount() const { return status_.count(SyncTransfer::Direction::download); }
    bool isAnyActive() const;
    double uploadFraction() const { return burst_.uploadFraction(); }

    const QStringList& juicefsStatsPaths() const { return statsPaths_; }
    bool isTickRunning() const { return tickRunning_; }
    // Sources whose last read has not come back yet.
    int blockedSources() const;

signals:
    // Any published value changed; emitted at most once per tick.
    void changed();
    // A sampling round has been applied (or skipped because one was still running).
    void tickFinished();
    // A watched mount's stats could not be read because the drive no longer answers (or its
    // read is stuck): its engine may have died.
    void mountUnreachable(const QString& mountPoint);

private:
    struct Published {
        SyncStatus status;
        bool active, downloading;
        qint64 uploading, staging, backlog, uploaded;
        double rate;
        std::optional<double> eta;
        bool operator==(const Published&) const = default;
    };
    Published published() const;
    QString ledgerPath() const;
    void applyLedger(const std::optional<SyncStatus>& ledger);
    void applyStats(const QList<std::optional<StatsSample>>& samples);
    std::shared_ptr<std::atomic<bool>> busyFlag(const QString& source);
    void resetJuicefsFlags();
    bool updateDownloadHold(bool missBytesGrew);

    Options options_;
    QTimer timer_;
    bool tickRunning_ = false;
    // Bumped by every change of the watched mounts, so a round read for old paths is dropped.
    quint64 pathsGeneration_ = 0;

    SyncStatus status_ = SyncStatus::empty();
    bool juicefsActive_ = false;
    qint64 juicefsUploading_ = 0;
    qint64 juicefsStaging_ = 0;
    bool juicefsDownloading_ = false;
    UploadBurstModel burst_;
    QStringList statsPaths_;
    QStringList mountPoints_;
    QHash<QString, std::shared_ptr<std::atomic<bool>>> busy_;
    QHash<QString, StatsSample> lastSamples_;
    QHash<QString, qint64> lastBlockcacheMissBytes_;
    int downloadActiveTicks_ = 0;
};
