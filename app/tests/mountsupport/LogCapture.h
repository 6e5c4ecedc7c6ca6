#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <cstring>

// Collects the mount subsystem's log lines (from any thread) while it exists, and still
// passes every message on to the previous handler.
class LogCapture {
public:
    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::handle)) { current() = this; }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        current() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const {
        QMutexLocker lock(&mutex_);
        return lines_;
    }
    int count(const QString& needle) const { return int(lines().filter(needle).size()); }

private:
    static LogCapture*& current() {
        static LogCapture* instance = nullptr;
        return instance;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        LogCapture* self = current();
        if (!self)
            return;
        if (context.category && std::strcmp(context.category, "com.30814qv.kelvane.mount") == 0) {
            QMutexLocker lock(&self->mutex_);
            self->lines_.append(text);
        }
        if (self->previous_)
            self->previous_(type, context, text);
    }

    QtMessageHandler previous_;
    mutable QMutex mutex_;
    QStringList lines_;
};
