#include "app/mount/JuicefsLog.h"

#include <QFile>

namespace JuicefsLog {

namespace {

constexpr qint64 kBlockBytes = 64 * 1024;

std::optional<QString> textAfter(const QByteArray& line, const QByteArray& marker) {
    const qsizetype at = line.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    return QString::fromUtf8(line.mid(at + marker.size())).trimmed();
}

// Walks complete lines from last to first; stops at the first that yields a reason.
std::optional<QString> lastReasonIn(const QList<QByteArray>& lines, qsizetype first) {
    for (qsizetype i = lines.size() - 1; i >= first; --i) {
        if (auto reason = reasonFromLine(lines[i]))
            return reason;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> reasonFromLine(const QByteArray& line) {
    if (!line.contains("<FATAL>") && !line.contains("<ERROR>"))
        return std::nullopt;
    if (auto fatal = textAfter(line, "<FATAL>:"))
        return fatal;
    if (auto error = textAfter(line, "<ERROR>:"))
        return error;
    return QString::fromUtf8(line);
}

std::optional<QString> lastFatal(const QByteArray& text) {
    return lastReasonIn(text.split('\n'), 0);
}

std::optional<QString> lastFatalFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    qint64 position = file.size();
    QByteArray carry; // the start of a line whose beginning lies in an earlier block
    while (position > 0) {
        const qint64 length = std::min(kBlockBytes, position);
        position -= length;
        if (!file.seek(position))
            return std::nullopt;
        const QByteArray block = file.read(length);
        if (block.size() != length)
            return std::nullopt;
        const QList<QByteArray> lines = (block + carry).split('\n');
        // The first piece may continue into the previous block unless the file starts here.
        const qsizetype firstComplete = position > 0 ? 1 : 0;
        if (auto reason = lastReasonIn(lines, firstComplete))
            return reason;
        carry = position > 0 ? lines.first() : QByteArray();
    }
    return std::nullopt;
}

} // namespace JuicefsLog
