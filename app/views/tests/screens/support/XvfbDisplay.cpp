#include "app/views/tests/screens/support/XvfbDisplay.h"

#include <QFileInfo>

XvfbDisplay::~XvfbDisplay() {
    if (!process_ || process_->state() == QProcess::NotRunning)
        return;
    process_->terminate();
    if (!process_->waitForFinished(5000)) {
        process_->kill();
        process_->waitForFinished(2000);
    }
}

QString& XvfbDisplay::processProblem() {
    static QString problem = QStringLiteral("not started");
    return problem;
}

bool XvfbDisplay::start() {
    if (!QFileInfo(kProgram).isExecutable()) {
        problem_ = kProgram + " is not installed (Debian package xvfb)";
        processProblem() = problem_;
        return false;
    }
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::SeparateChannels);
    // -displayfd 1: the server picks a free display and writes its number to standard output.
    process_->start(kProgram,
                    {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    QByteArray number;
    while (process_->waitForReadyRead(10'000)) {
        number += process_->readAllStandardOutput();
        if (number.contains('\n'))
            break;
    }
    number = number.trimmed();
    if (number.isEmpty()) {
        problem_ =
            "Xvfb did not start: " + QString::fromLocal8Bit(process_->readAllStandardError());
        processProblem() = problem_;
        process_->kill();
        process_->waitForFinished(2000);
        return false;
    }
    qputenv("DISPLAY", ":" + number);
    processProblem().clear();
    return true;
}

bool XvfbDisplay::isRunning() const {
    return process_ && process_->state() == QProcess::Running;
}
