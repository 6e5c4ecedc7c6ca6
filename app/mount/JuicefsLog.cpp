#include "app/mount/JuicefsLog.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>

namespace JuicefsLog {

namespace {

// The reason of a failed mount sits at the end of the log; a tail this long always holds it
// and keeps the read linear however the log ends.
constexpr qint64 kTailBytes = 4 * 1024 * 1024;

std::optional<QString> textAfter(const QByteArray& line, const QByteArray& marker) {
    const qsizetype at = line.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    return QString::fromUtf8(line.mid(at + marker.size())).trimmed();
}

std::optional<QString> lastReasonIn(const QList<QByteArray>& lines, const QByteArray& mustHold) {
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        if (!mustHold.isEmpty() && !lines[i].contains(mustHold))
            continue;
        if (auto reason = reasonFromLine(lines[i]))
            return reason;
    }
    return std::nullopt;
}

QByteArray readTail(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 start = std::max<qint64>(0, file.size() - kTailBytes);
    if (!file.seek(start))
        return {};
    // Only what is there: a read of the whole limit would reserve 4 MiB for a short log.
    QByteArray tail = file.read(std::max<qint64>(0, file.size() - start));
    // A line cut by the start of the tail is not whole; drop it.
    if (start > 0) {
        const qsizetype firstBreak = tail.indexOf('\n');
        tail = firstBreak < 0 ? QByteArray() : tail.mid(firstBreak + 1);
    }
    return tail;
}

} // namespace

QString withoutSourceTag(const QString& reason) {
    static const QRegularExpression tag(QStringLiteral(R"(\s*\[[\w./-]+:\d+\]\s*$)"));
    QString text = reason;
    text.remove(tag);
    return text.trimmed();
}

std::optional<QString> reasonFromLine(const QByteArray& line) {
    if (!line.contains("<FATAL>") && !line.contains("<ERROR>"))
        return std::nullopt;
    if (auto fatal = textAfter(line, "<FATAL>:"))
        return withoutSourceTag(*fatal);
    if (auto error = textAfter(line, "<ERROR>:"))
        return withoutSourceTag(*error);
    return QString::fromUtf8(line);
}

std::optional<QString> lastFatal(const QByteArray& text) {
    return lastReasonIn(text.split('\n'), {});
}

std::optional<QString> reasonFromOutput(const QByteArray& output) {
    const QList<QByteArray> lines = output.split('\n');
    if (auto marked = lastReasonIn(lines, {}))
        return marked;
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString line = withoutSourceTag(QString::fromUtf8(lines[i]));
        if (!line.isEmpty())
            return line;
    }
    return std::nullopt;
}

std::optional<QString> lastFatalFromFile(const QString& path) {
    return lastReasonIn(readTail(path).split('\n'), {});
}

std::optional<QString> lastFatalOfProcess(const QString& path, qint64 pid) {
    const QByteArray tag = "juicefs[" + QByteArray::number(pid) + ']';
    return lastReasonIn(readTail(path).split('\n'), tag);
}

} // namespace JuicefsLog
