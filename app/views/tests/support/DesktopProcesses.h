#pragma once

#include "tests/support/WaitUntil.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryFile>
#include <memory>

// Pieces of a desktop for tray tests: an X server without a screen (Xvfb), a private D-Bus
// session bus and an XEmbed tray (trayer). Each stops its process when it goes.
class DesktopProcess {
public:
    ~DesktopProcess() { stop(); }
    bool isRunning() const { return process_ && process_->state() == QProcess::Running; }
    qint64 pid() const { return process_ ? process_->processId() : 0; }
    void stop() {
        if (!isRunning())
            return;
        process_->terminate();
        if (!process_->waitForFinished(5'000)) {
            process_->kill();
            process_->waitForFinished(2'000);
        }
    }

protected:
    // Starts the program and waits for its first line of output (empty when none came).
    QString
    startAndReadLine(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        process_ = std::make_unique<QProcess>();
        process_->setProcessEnvironment(env);
        process_->setProcessChannelMode(QProcess::SeparateChannels);
        process_->start(program, arguments);
        if (!process_->waitForStarted(5'000))
            return {};
        waitUntil([this] { return process_->canReadLine() || !isRunning(); },
                  std::chrono::seconds(10));
        return QString::fromUtf8(process_->readLine()).trimmed();
    }
    void startQuietly(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& env) {
        process_ = std::make_unique<QProcess>();
        process_->setProcessEnvironment(env);
        process_->setStandardOutputFile(QProcess::nullDevice());
        process_->setStandardErrorFile(QProcess::nullDevice());
        process_->start(program, arguments);
        process_->waitForStarted(5'000);
    }
    std::unique_ptr<QProcess> process_;
};

inline QString findTool(const QString& name) {
    return QStandardPaths::findExecutable(name, {"/usr/bin", "/bin", "/usr/local/bin"});
}

class Xvfb : public DesktopProcess {
public:
    static QString program() { return findTool("Xvfb"); }
    // The display's name (":N"), empty when the server did not start.
    QString start(const QString& screen = QStringLiteral("1024x768x24")) {
        const QString number = startAndReadLine(
            program(), {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
        display_ = number.isEmpty() ? QString() : QLatin1Char(':') + number;
        return display_;
    }
    QString display() const { return display_; }

private:
    QString display_;
};

class PrivateBus : public DesktopProcess {
public:
    static QString program() { return findTool("dbus-daemon"); }
    // The bus address, empty when the daemon did not start. Nothing is started on demand on
    // this bus (no keyring, no real file manager): only what the test puts there answers.
    QString start() {
        config_.open();
        config_.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                      "<auth>EXTERNAL</auth><policy context=\"default\">"
                      "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                      "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        config_.close();
        address_ = startAndReadLine(
            program(), {"--config-file=" + config_.fileName(), "--nofork", "--print-address=1"});
        return address_;
    }
    QString address() const { return address_; }

private:
    QTemporaryFile config_;
    QString address_;
};

class Trayer : public DesktopProcess {
public:
    static QString program() { return findTool("trayer"); }
    void start(const QString& display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        startQuietly(program(),
                     {"--edge", "top", "--align", "right", "--SetDockType", "true", "--widthtype",
                      "request", "--height", "26", "--tint", "0xd8d8d8", "--transparent", "false"},
                     env);
    }
};
