#pragma once

#include <QLoggingCategory>
#include <QStringList>
#include <mutex>

// Collects the messages of the extension's log categories while it lives.
class LogLines {
public:
    LogLines() {
        current() = this;
        previous_ = qInstallMessageHandler(&LogLines::handle);
    }
    ~LogLines() {
        qInstallMessageHandler(previous_);
        current() = nullptr;
    }

    QStringList lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool contains(const QString& text) const {
        for (const QString& line : lines())
            if (line.contains(text))
                return true;
        return false;
    }

private:
    static LogLines*& current() {
        static LogLines* instance = nullptr;
        return instance;
    }
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message) {
        if (LogLines* self = current()) {
            std::lock_guard lock(self->mutex_);
            self->lines_.append(QString::fromLatin1(context.category ? context.category : "") +
                                ": " + message);
        }
    }

    QtMessageHandler previous_ = nullptr;
    mutable std::mutex mutex_;
    QStringList lines_;
};
