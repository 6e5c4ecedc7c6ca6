#pragma once

#include "app/api/Filespace.h"
#include "app/import/ImportProgressModel.h"
#include "app/import/ImportState.h"
#include "platform/ChildProcess.h"

#include <QCoroTask>
#include <QObject>
#include <QProcess>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class DriveWorkers;
class QNetworkAccessManager;
class QTimer;

// Copies a local folder into a filespace by running the engine's `sync` straight into the
// filespace's storage (not through the drive), reads the progress counters that `sync` serves
// on a loopback port every second, and publishes them as its state. One import at a time.
// Main thread only; the source is looked at on a worker with a time limit, since it may lie on
// a drive that stopped answering.
class BulkImporter : public QObject {
    Q_OBJECT
    Q_PROPERTY(ImportState state READ state NOTIFY stateChanged)
    // The import the state is about: its source folder, target filespace and id.
    Q_PROPERTY(QString source READ source NOTIFY stateChanged)
    Q_PROPERTY(QString filespaceName READ filespaceName NOTIFY stateChanged)
    Q_PROPERTY(quint64 importId READ importId NOTIFY stateChanged)
    // The engine's output for the import; it stays in the temporary folder afterwards.
    Q_PROPERTY(QString logFile READ logFile NOTIFY stateChanged)
public:
    using Progress = ImportProgress;
    using State = ImportState;
    using Clock = std::function<ImportProgressModel::TimePoint()>;

    struct Options {
        std::chrono::milliseconds pollInterval{1000};
        std::chrono::milliseconds requestTimeout{2000};
        // How long looking at the source folder may take.
        std::chrono::milliseconds sourceCheckLimit{10'000};
        // How long a cancelled engine has to exit before it is killed.
        std::chrono::milliseconds terminateGrace{5000};
        Clock clock = [] { return std::chrono::steady_clock::now(); };
        // Picks the port the engine is told to serve its metrics on.
        std::function<quint16()> metricsPort = &BulkImporter::freePort;
    };

    // A loopback port free right now (the engine binds it a moment later), or a random one
    // from 20000 to 29000 when none can be had.
    static quint16 freePort();

    explicit BulkImporter(QNetworkAccessManager& network, QObject* parent = nullptr);
    BulkImporter(QNetworkAccessManager& network, Options options, QObject* parent = nullptr);
    ~BulkImporter() override;

    // Copies `source` into `filespace` (into a folder named after the source, or the sub-path)
    // with the engine at `juicefs`. Does nothing while an import runs; every failure ends in
    // the failed state.
    void start(QString source, Filespace filespace, QString juicefs,
               std::optional<QString> destinationSubpath = std::nullopt);
    // Stops the running import (cancelled); does nothing otherwise.
    void cancel();

    State state() const { return state_; }
    QString source() const { return source_; }
    QString filespaceName() const { return filespaceName_; }
    quint64 importId() const { return generation_; }
    QString logFile() const { return logFile_; }

signals:
    void stateChanged();

private:
    QCoro::Task<void> run(QString source, Filespace filespace, QString juicefs,
                          std::optional<QString> subpath, quint64 generation);
    QCoro::Task<std::optional<QString>> sourceProblem(QString source);
    QCoro::Task<void> poll();
    void launched(const QString& source, const Filespace& filespace, const QString& destination);
    void finish(int status, QProcess::ExitStatus exitStatus);
    void stopPolling();
    void setState(const State& state);
    bool openLog(QProcess& process);

    QNetworkAccessManager& network_;
    Options options_;
    std::unique_ptr<DriveWorkers> workers_;
    ImportProgressModel model_;
    State state_;
    QString source_;
    QString filespaceName_;
    QString logFile_;
    ChildProcess::Owned process_;
    QTimer* pollTimer_ = nullptr;
    quint16 metricsPort_ = 0;
    quint64 generation_ = 0;
    bool polling_ = false;
};
