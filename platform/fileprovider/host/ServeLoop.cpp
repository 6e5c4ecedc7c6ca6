#include "platform/fileprovider/host/ServeLoop.h"

#include <QEventLoop>
#include <cerrno>
#include <unistd.h>

ServeInput::ServeInput() : notifier_(STDIN_FILENO, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_,
                     [this] { readAvailable(); });
}

void ServeInput::readAvailable() {
    char chunk[4096];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got > 0) {
        buffer_.append(chunk, qsizetype(got));
    } else if (got == 0 || errno != EINTR) {
        ended_ = true;
        notifier_.setEnabled(false);
    }
}

std::optional<QStringList> ServeInput::next() {
    while (!buffer_.contains('\n') && !ended_) {
        QEventLoop loop;
        QObject::connect(&notifier_, &QSocketNotifier::activated, &loop, &QEventLoop::quit,
                         Qt::QueuedConnection);
        loop.exec();
    }
    qsizetype end = buffer_.indexOf('\n');
    if (end < 0) {
        if (buffer_.isEmpty())
            return std::nullopt;
        end = buffer_.size();
    }
    const QString line = QString::fromUtf8(buffer_.left(end));
    buffer_.remove(0, end + 1);
    return split(line);
}

QStringList ServeInput::split(const QString& line) {
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}
