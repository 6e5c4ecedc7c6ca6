#include "app/import/BulkImporter.h"

#include "app/import/ImportLogging.h"
#include "app/import/SyncInvocation.h"
#include "app/import/SyncLog.h"
#include "app/import/SyncMetrics.h"
#include "app/mount/DriveWorkers.h"
#include "app/mount/TimeLimit.h"
#include "platform/Paths.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTimer>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <dirent.h>

namespace {

// A real exporter's page is some kilobytes; anything this large is not one.
constexpr qint64 kMaxMetricsBytes = 4 * 1024 * 1024;
constexpr int kSourceWorkers = 2;

// Blocking: the source may be anywhere, a hung drive included.
std::optional<QString> problemWith(const QString& source) {
    const QFileInfo info(source);
    if (!info.exists())
        return QStringLiteral("There is no folder at %1.").arg(source);
    if (!info.isDir())
        return QStringLiteral("%1 is a file, not a folder. Choose a folder to import.").arg(source);
    DIR* folder = ::opendir(QFile::encodeName(source).constData());
    if (!folder)
        return QStringLiteral("Kelvane can't read %1: %2.")
            .arg(source, QString::fromLocal8Bit(std::strerror(errno)));
    ::closedir(folder);
    return std::nullopt;
}

template <typename T> QCoro::Task<T> awaitFuture(QFuture<T> future) {
    co_return co_await future;
}

QString signalName(int number) {
    const char* text = ::strsignal(number);
    return text ? QString::fromLocal8Bit(text) : QString::number(number);
}

} // namespace

BulkImporter::BulkImporter(QNetworkAccessManager& network, QObject* parent)
    : BulkImporter(network, Options(), parent) {}

BulkImporter::BulkImporter(QNetworkAccessManager& network, Options options, QObject* parent)
    : QObject(parent), network_(network), options_(std::move(options)),
      workers_(std::make_unique<DriveWorkers>(kSourceWorkers)) {}

BulkImporter::~BulkImporter() {
    // Nothing would see this engine's end: it must not copy on unobserved.
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(1000);
    }
}

quint16 BulkImporter::freePort() {
    QTcpServer probe;
    if (probe.listen(QHostAddress::LocalHost, 0)) {
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }
    return quint16(20000 + QRandomGenerator::global()->bounded(0, 9001));
}

void BulkImporter::setState(const State& state) {
    if (state == state_)
        return;
    state_ = state;
    emit stateChanged();
}

void BulkImporter::start(QString source, Filespace filespace, QString juicefs,
                         std::optional<QString> destinationSubpath) {
    if (state_.isRunning())
        return;
    ++generation_;
    source_ = QDir::cleanPath(QFileInfo(source).absoluteFilePath());
    filespaceName_ = filespace.name;
    logFile_.clear();
    // Running from here on, so a second start while the source is looked at does nothing.
    state_ = State::running(Progress{.eta = std::nullopt, .scanning = true});
    emit stateChanged();
    run(source_, std::move(filespace), std::move(juicefs), std::move(destinationSubpath),
        generation_);
}

QCoro::Task<std::optional<QString>> BulkImporter::sourceProblem(QString source) {
    QFuture<std::optional<QString>> looked = workers_->run(&problemWith, source);
    try {
        co_return co_await TimeLimit::run(awaitFuture(looked), options_.sourceCheckLimit);
    } catch (const TransportError&) {
        co_return QString::fromUtf8(
            "%1 did not answer within %2 seconds; if it is on a drive, that "
            "drive may have stopped responding.")
            .arg(source)
            .arg(options_.sourceCheckLimit.count() / 1000);
    }
}

QCoro::Task<void> BulkImporter::run(QString source, Filespace filespace, QString juicefs,
                                    std::optional<QString> subpath, quint64 generation) {
    QPointer<BulkImporter> self(this);
    const QString destination = SyncInvocation::destinationName(source, subpath);
    std::optional<QString> problem;
    if (const auto volume = SyncInvocation::volumeNameProblem(filespace.volumeName))
        problem =
            QString::fromUtf8("Kelvane can't import into %1: %2.").arg(filespace.name, *volume);
    else if (filespace.metadataPublicURL.isEmpty())
        problem = QString::fromUtf8("Kelvane can't import into %1: the server gave no storage "
                                    "address for it.")
                      .arg(filespace.name);
    else if (destination.isEmpty())
        problem =
            QString::fromUtf8("The root folder can't be imported; choose a folder inside it.");
    if (!problem)
        problem = co_await sourceProblem(source);
    // Cancelled or replaced while the source was looked at.
    if (!self || generation != generation_ || !state_.isRunning())
        co_return;
    if (problem) {
        qCWarning(lcImport).noquote() << "import refused:" << *problem;
        setState(State::failed(*problem));
        co_return;
    }

    metricsPort_ = options_.metricsPort();
    ChildProcess::Owned process(new QProcess);
    process->setProgram(juicefs);
    process->setArguments(SyncInvocation::arguments(
        metricsPort_, SyncInvocation::sourceArgument(source),
        SyncInvocation::destinationArgument(filespace.volumeName, destination)));
    process->setProcessEnvironment(SyncInvocation::environment(filespace));
    if (!openLog(*process))
        process->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(
        process.get(), &QProcess::finished, this,
        [this, generation](int status, QProcess::ExitStatus exitStatus) {
            if (generation == generation_)
                finish(status, exitStatus);
        },
        Qt::QueuedConnection);
    QProcess& launching = *process;
    launching.start(QIODevice::ReadOnly);
    const bool started = co_await ChildProcess::started(launching);
    if (!self)
        co_return;
    if (generation != generation_ || !state_.isRunning()) {
        ChildProcess::terminateAndRelease(std::move(process));
        co_return;
    }
    if (!started) {
        setState(State::failed(launching.errorString()));
        co_return;
    }
    process_ = std::move(process);
    launched(source, filespace, destination);
}

bool BulkImporter::openLog(QProcess& process) {
    logFile_ = Paths::importLogFile(QUuid::createUuid().toString(QUuid::WithoutBraces));
    // A new file only (never one that someone put there first), readable by the user alone:
    // the temporary folder is shared.
    QFile log(logFile_);
    if (!log.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        qCWarning(lcImport).noquote()
            << "cannot create the import log" << logFile_ << ":" << log.errorString();
        logFile_.clear();
        return false;
    }
    log.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    log.close();
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(logFile_, QIODevice::Append);
    return true;
}

void BulkImporter::launched(const QString& source, const Filespace& filespace,
                            const QString& destination) {
    model_.begin(options_.clock());
    setState(State::running(Progress{.eta = std::nullopt, .scanning = true}));
    qCInfo(lcImport).noquote() << QStringLiteral("import started: %1 → %2/%3")
                                      .arg(source, filespace.volumeName, destination);
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(options_.pollInterval);
    connect(pollTimer_, &QTimer::timeout, this, [this] { poll(); });
    pollTimer_->start();
}

QCoro::Task<void> BulkImporter::poll() {
    // One request at a time: with a slow endpoint, overlapping answers would arrive out of
    // order and move the counters backwards.
    if (!state_.isRunning() || polling_)
        co_return;
    polling_ = true;
    const quint64 generation = generation_;
    QPointer<BulkImporter> self(this);
    QNetworkRequest request(
        QUrl(QString::fromUtf8("http://127.0.0.1:%1/metrics").arg(metricsPort_)));
    request.setTransferTimeout(int(options_.requestTimeout.count()));
    QNetworkReply* reply = network_.get(request);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(
        reply, [](QNetworkReply* r) { r->deleteLater(); });
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxMetricsBytes)
            reply->abort();
    });
    co_await qCoro(reply).waitForFinished();
    if (!self)
        co_return;
    polling_ = false;
    // A late answer (the import was cancelled or replaced meanwhile) is dropped.
    if (generation != generation_ || !state_.isRunning() ||
        reply->error() != QNetworkReply::NoError)
        co_return;
    const auto values = SyncMetrics::parse(reply->readAll());
    if (!values)
        co_return;
    if (const auto next = model_.apply(*values, state_.progress(), options_.clock()))
        setState(State::running(*next));
}

void BulkImporter::stopPolling() {
    if (pollTimer_) {
        pollTimer_->stop();
        pollTimer_->deleteLater();
        pollTimer_ = nullptr;
    }
    process_.reset();
}

void BulkImporter::finish(int status, QProcess::ExitStatus exitStatus) {
    stopPolling();
    if (!state_.isRunning())
        return;
    const double seconds = model_.elapsedSeconds(options_.clock());
    if (exitStatus == QProcess::NormalExit && status == 0) {
        // The last sample may be up to a second old, or missing for a quick copy: the engine's
        // closing line has the final counts.
        Progress last = state_.progress();
        if (const auto summary = SyncLog::summary(logFile_)) {
            if (summary->copied > last.copied) {
                last.copied = summary->copied;
                last.copiedBytes = std::max(last.copiedBytes, summary->approximateBytes);
            }
            last.failed = std::max(last.failed, summary->failed);
        }
        setState(State::finished(last.copied, last.failed, last.copiedBytes, seconds));
        qCInfo(lcImport).noquote() << QStringLiteral("import finished: %1 files, %2 failed")
                                          .arg(last.copied)
                                          .arg(last.failed);
        return;
    }
    const QString tail = SyncLog::tail(logFile_);
    if (exitStatus == QProcess::CrashExit)
        setState(State::failed(QStringLiteral("juicefs sync was stopped by signal %1 (%2). %3")
                                   .arg(status)
                                   .arg(signalName(status), tail)));
    else
        setState(State::failed(QStringLiteral("juicefs sync exited %1. %2").arg(status).arg(tail)));
    qCCritical(lcImport).noquote() << QStringLiteral("import failed: status=%1").arg(status);
}

void BulkImporter::cancel() {
    // While the source is still looked at there is no engine yet: the import just ends.
    const bool engineRunning = process_ && process_->state() != QProcess::NotRunning;
    if (!state_.isRunning() || (process_ && !engineRunning))
        return;
    if (engineRunning) {
        QProcess* engine = process_.release();
        connect(engine, &QProcess::finished, engine, &QObject::deleteLater);
        QTimer::singleShot(options_.terminateGrace, engine, [engine] { engine->kill(); });
        engine->terminate();
    }
    setState(State::cancelled());
    stopPolling();
    qCInfo(lcImport) << "import cancelled by user";
}
