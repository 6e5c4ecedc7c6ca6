#include "app/activity/EventStreamDecoder.h"

#include <QString>

QStringList EventStreamDecoder::feed(QByteArrayView chunk) {
    buffer_.append(chunk);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype end = buffer_.indexOf('\n', start); end >= 0;
         end = buffer_.indexOf('\n', start)) {
        const QByteArrayView raw = QByteArrayView(buffer_).sliced(start, end - start);
        start = end + 1;
        if (discarding_) {
            discarding_ = false;
            continue;
        }
        // A line feed byte never occurs inside a multi-byte UTF-8 character, so every complete
        // line decodes on its own; invalid bytes become replacement characters.
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    buffer_.remove(0, start);
    if (buffer_.size() > kMaxLineBytes) {
        buffer_.clear();
        discarding_ = true;
    }
    return lines;
}

void EventStreamDecoder::reset() {
    buffer_.clear();
    discarding_ = false;
}
