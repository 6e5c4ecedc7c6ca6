#include "app/import/SyncLog.h"

#include <QFile>
#include <QRegularExpression>

namespace SyncLog {

namespace {

// The end of a long log is all anyone needs from it.
constexpr qint64 kTailBytes = 64 * 1024;

QStringList lastLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > kTailBytes)
        file.seek(file.size() - kTailBytes);
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

qint64 bytesFrom(double number, const QString& unit) {
    static const QHash<QString, double> scale = {{"B", 1},
                                                 {"Bytes", 1},
                                                 {"KiB", 1024.0},
                                                 {"KB", 1024.0},
                                                 {"K", 1024.0},
                                                 {"MiB", 1 << 20},
                                                 {"MB", 1 << 20},
                                                 {"M", 1 << 20},
                                                 {"GiB", 1 << 30},
                                                 {"GB", 1 << 30},
                                                 {"G", 1 << 30},
                                                 {"TiB", 1099511627776.0},
                                                 {"TB", 1099511627776.0},
                                                 {"T", 1099511627776.0}};
    return qint64(number * scale.value(unit, 0));
}

} // namespace

QString tail(const QString& path, int count) {
    const QStringList lines = lastLines(path);
    return lines.mid(std::max<qsizetype>(0, lines.size() - count)).join(u' ');
}

std::optional<Summary> summary(const QString& path) {
    static const QRegularExpression line(QStringLiteral(
        R"(Found: \d+, skipped: \d+, copied: (\d+) \(([0-9.]+) ?([A-Za-z]*)[^)]*\))"));
    static const QRegularExpression failed(QStringLiteral(R"(, failed: (\d+))"));
    const QStringList lines = lastLines(path);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QRegularExpressionMatch m = line.match(*it);
        if (!m.hasMatch())
            continue;
        Summary s;
        s.copied = m.captured(1).toLongLong();
        s.approximateBytes = bytesFrom(m.captured(2).toDouble(), m.captured(3));
        if (const QRegularExpressionMatch f = failed.match(*it, m.capturedEnd()); f.hasMatch())
            s.failed = f.captured(1).toLongLong();
        return s;
    }
    return std::nullopt;
}

} // namespace SyncLog
