#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QStringList>
#include <optional>

// The commands of `serve`, one per line on standard input, read without stopping the event
// loop so the extension's work goes on between them. Words are split at spaces; double or
// single quotes keep spaces in a word and a backslash takes the next character as it is.
class ServeInput {
public:
    ServeInput();

    // The next line's words (possibly none); nothing at the end of the input.
    std::optional<QStringList> next();

    static QStringList split(const QString& line);

private:
    void readAvailable();

    QSocketNotifier notifier_;
    QByteArray buffer_;
    bool ended_ = false;
};
