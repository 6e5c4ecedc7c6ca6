#pragma once

#include "app/tests/support/HomeLeftovers.h"
#include "tests/support/WaitUntil.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <csignal>
#include <memory>

// The real `kelvane` program run for a test in a temporary home: a headless instance, and the
// command-line calls made beside it. Leaves nothing behind: on destruction the instance is
// stopped, every engine drive under the home is detached and every engine serving one killed.
class HeadlessKelvane {
public:
    struct Call {
        int exitCode = -1;
        QString out;
        QString err;
    };

    // program: the kelvane to run (an installed bundle's, for instance).
    explicit HeadlessKelvane(QString home, QString program = QStringLiteral(KELVANE_APP_PATH))
        : home_(std::move(home)), program_(std::move(program)) {
        QDir().mkpath(home_ + "/run");
    }
    ~HeadlessKelvane() {
        stop();
        cleanUp();
    }
    HeadlessKelvane(const HeadlessKelvane&) = delete;
    HeadlessKelvane& operator=(const HeadlessKelvane&) = delete;

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home_);
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        env.insert("XDG_RUNTIME_DIR", home_ + "/run");
        for (auto it = extraEnvironment_.cbegin(); it != extraEnvironment_.cend(); ++it)
            env.insert(it.key(), it.value());
        return env;
    }
    // Set for the instance and every call from now on (TMPDIR, for instance).
    void setEnvironment(const QString& name, const QString& value) {
        extraEnvironment_.insert(name, value);
    }

    // Starts `kelvane --headless` (and the given extra arguments).
    void start(const QStringList& extra = {}) { startProgram(QStringList{"--headless"} + extra); }
    // Starts `kelvane ARGS…` as the running instance (no arguments: the tray).
    void startProgram(const QStringList& arguments) {
        output_.clear();
        process_ = std::make_unique<QProcess>();
        process_->setProcessEnvironment(environment());
        process_->setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(process_.get(), &QProcess::readyRead,
                         [this] { output_ += process_->readAll(); });
        process_->start(program_, arguments);
        process_->waitForStarted();
    }
    // Until the instance listens for other kelvane processes (its socket is there).
    bool waitForInstance(std::chrono::milliseconds limit = std::chrono::seconds(15)) const {
        return waitUntil(
            [this] {
                const QStringList folders =
                    QDir(home_ + "/run").entryList({"kelvane-*"}, QDir::Dirs);
                return !folders.isEmpty() &&
                       QFile::exists(home_ + "/run/" + folders.first() + "/instance") &&
                       run({"status", "--json"}).out.contains("\"running\": true");
            },
            limit);
    }
    bool isRunning() const { return process_ && process_->state() == QProcess::Running; }
    qint64 pid() const { return process_ ? process_->processId() : 0; }
    QString output() const { return QString::fromUtf8(output_); }
    bool waitForOutput(const QString& text, std::chrono::milliseconds limit) {
        return waitUntil([&] { return output().contains(text); }, limit);
    }
    void signal(int number) const {
        if (isRunning())
            ::kill(pid_t(process_->processId()), number);
    }
    bool waitForExit(std::chrono::milliseconds limit) {
        return !process_ || waitUntil([this] { return !isRunning(); }, limit);
    }
    int exitCode() const { return process_ ? process_->exitCode() : -1; }

    // One `kelvane ARGS…` call, to its end.
    Call run(const QStringList& arguments, const QByteArray& input = {},
             int timeoutMs = 60'000) const {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(program_, arguments);
        p.write(input);
        p.closeWriteChannel();
        // The instance's output is drained meanwhile: a full pipe would stall the instance.
        QDeadlineTimer expiry(timeoutMs);
        while (!p.waitForFinished(50)) {
            drainOutput();
            if (expiry.hasExpired()) {
                p.kill();
                p.waitForFinished();
                output_ += "[test] `kelvane " + arguments.join(' ').toUtf8() +
                           "` did not finish in time and was killed\n";
                break;
            }
        }
        drainOutput();
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    Call signIn(const QString& apiURL, const QString& email, const QString& password) const {
        return run({"sign-in", "--server", apiURL, "--email", email}, password.toUtf8() + "\n");
    }
    // A status call that hangs must not use up a whole wait: later polls get their turn.
    QJsonObject status() const {
        return QJsonDocument::fromJson(run({"status", "--json"}, {}, 20'000).out.toUtf8()).object();
    }
    // Every drive of the running instance in this state (and at least one drive).
    bool allDrives(const QString& state, int count) const {
        const QJsonObject snapshot = status();
        const auto filespaces = snapshot.value("filespaces").toArray();
        if (filespaces.size() != count)
            return false;
        for (const QJsonValue& v : filespaces) {
            if (v["mount"]["state"].toString() != state)
                return false;
        }
        return true;
    }

    QStringList drives() const { return HomeLeftovers::drives(home_); }
    QList<pid_t> processesInHome() const { return HomeLeftovers::processes(home_); }

    void stop() {
        if (!isRunning())
            return;
        process_->terminate();
        if (!waitForExit(std::chrono::seconds(60)))
            process_->kill();
        process_->waitForFinished(5'000);
    }
    void kill() {
        if (!isRunning())
            return;
        process_->kill();
        process_->waitForFinished(5'000);
    }

private:
    void drainOutput() const {
        if (process_ && process_->waitForReadyRead(0))
            output_ += process_->readAll();
    }
    void cleanUp() const { HomeLeftovers::sweep(home_); }

    QString home_;
    QString program_;
    QMap<QString, QString> extraEnvironment_;
    std::unique_ptr<QProcess> process_;
    mutable QByteArray output_;
};
