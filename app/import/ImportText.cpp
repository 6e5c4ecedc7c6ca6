#include "app/import/ImportText.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace ImportText {

namespace {

// Figures from outside (a reply, a counter) may be anything; past these they are not worth
// printing exactly, and they must not overflow an integer on the way.
constexpr double kLongestSeconds = 1e12;
constexpr double kLargestBytes = 9.0e18;

qint64 wholeBytes(double value) {
    if (!std::isfinite(value) || value <= 0)
        return 0;
    return value >= kLargestBytes ? qint64(kLargestBytes) : qint64(value);
}

} // namespace

QString formatBytes(qint64 bytes) {
    const double n = double(std::max<qint64>(bytes, 0));
    if (n / (1 << 30) >= 1)
        return QString::asprintf("%.1f GB", n / (1 << 30));
    if (n / (1 << 20) >= 1)
        return QString::asprintf("%.0f MB", n / (1 << 20));
    return QString::asprintf("%.0f KB", n / 1024);
}

QString formatDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;
    seconds = std::min(seconds, kLongestSeconds);
    if (seconds < 60)
        return QStringLiteral("%1 sec").arg(std::max<long long>(std::llround(seconds), 1));
    if (seconds < 3600)
        return QStringLiteral("%1 min").arg(std::llround(seconds / 60));
    const auto hours = static_cast<long long>(seconds / 3600);
    const auto minutes = static_cast<long long>((seconds - double(hours) * 3600) / 60);
    if (minutes < 1)
        return QStringLiteral("%1 hr").arg(hours);
    return QStringLiteral("%1 hr %2 min").arg(hours).arg(minutes);
}

QString importLine(const ImportProgress& p) {
    QStringList parts{QStringLiteral("%1 of %2%3")
                          .arg(p.handled)
                          .arg(p.scanned)
                          .arg(p.scanning ? QStringLiteral("+ files") : QStringLiteral(" files"))};
    if (p.copiedBytes >= 1)
        parts << formatBytes(p.copiedBytes);
    if (wholeBytes(p.rate) > 0)
        parts << formatBytes(wholeBytes(p.rate)) + QStringLiteral("/s");
    if (p.eta)
        parts << QStringLiteral("about %1 left").arg(formatDuration(*p.eta));
    if (p.failed >= 1)
        parts << QStringLiteral("%1 failed").arg(p.failed);
    return parts.join(QStringLiteral(" · "));
}

QString title(const ImportState& state) {
    switch (state.kind()) {
    case ImportState::Kind::running:
        return QStringLiteral("Importing");
    case ImportState::Kind::finished:
        return state.failedCount() == 0 ? QStringLiteral("Import complete")
                                        : QStringLiteral("Import finished with errors");
    case ImportState::Kind::failed:
        return QStringLiteral("Import failed");
    case ImportState::Kind::cancelled:
        return QStringLiteral("Import cancelled");
    case ImportState::Kind::idle:
        break;
    }
    return {};
}

QString finishedSummary(const ImportState& state) {
    QString text = QStringLiteral("%1 files · %2 · %3")
                       .arg(state.copied())
                       .arg(formatBytes(state.bytes()), formatDuration(state.seconds()));
    if (state.failedCount() > 0)
        text += QStringLiteral(", %1 failed").arg(state.failedCount());
    return text;
}

QString describe(const ImportState& state) {
    switch (state.kind()) {
    case ImportState::Kind::running:
        return title(state) + QStringLiteral(": ") + importLine(state.progress());
    case ImportState::Kind::finished:
        return title(state) + QStringLiteral(": ") + finishedSummary(state);
    case ImportState::Kind::failed:
        return title(state) + QStringLiteral(": ") + state.message();
    case ImportState::Kind::cancelled:
        return title(state);
    case ImportState::Kind::idle:
        break;
    }
    return QStringLiteral("No import");
}

} // namespace ImportText
