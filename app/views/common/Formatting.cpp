#include "app/views/common/Formatting.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Formatting {

namespace {
constexpr double kKiB = 1024.0;
constexpr double kMiB = kKiB * 1024.0;
constexpr double kGiB = kMiB * 1024.0;
// Far beyond any real estimate; keeps the hour count inside an integer.
constexpr double kLongestDuration = 1e9;

// The C library's formatting, so halves round as printf rounds them.
QString printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return QString::fromLatin1(text);
}

} // namespace

QString formatBytes(qint64 bytes) {
    const double n = static_cast<double>(bytes);
    if (n / kGiB >= 1)
        return printed("%.1f GB", n / kGiB);
    if (n / kMiB >= 1)
        return printed("%.0f MB", n / kMiB);
    return printed("%.0f KB", n / kKiB);
}

QString formatDuration(double seconds) {
    if (std::isnan(seconds))
        seconds = 0;
    seconds = std::min(seconds, kLongestDuration);
    if (seconds < 60)
        return QString::number(std::max<qint64>(std::llround(seconds), 1)) + " sec";
    if (seconds < 3600)
        return QString::number(std::llround(seconds / 60)) + " min";
    const auto hours = static_cast<qint64>(seconds / 3600);
    const auto minutes = static_cast<qint64>((seconds - static_cast<double>(hours) * 3600) / 60);
    if (minutes < 1)
        return QString::number(hours) + " hr";
    return QString::number(hours) + " hr " + QString::number(minutes) + " min";
}

QString cutStatusMessage(const QString& message) {
    if (message.size() < 41)
        return message;
    QString head = message.left(37);
    // Never leave half of a character that takes two code units.
    if (head.back().isHighSurrogate())
        head.chop(1);
    return head + QStringLiteral("…");
}

} // namespace Formatting
