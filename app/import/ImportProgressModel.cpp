#include "app/import/ImportProgressModel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMinSampleSeconds = 0.5;
constexpr double kNewWeight = 0.3;
constexpr qint64 kMinHandledForEta = 9;
// 2^53: every integer up to here is exact in a double, and it is far beyond any real count.
constexpr double kLargestCount = 9007199254740992.0;

double secondsBetween(ImportProgressModel::TimePoint from, ImportProgressModel::TimePoint to) {
    return std::chrono::duration<double>(to - from).count();
}

} // namespace

void ImportProgressModel::begin(TimePoint now) {
    startedAt_ = now;
    lastSampleAt_ = now;
    lastBytes_ = 0;
}

double ImportProgressModel::elapsedSeconds(TimePoint now) const {
    return startedAt_ ? std::max(0.0, secondsBetween(*startedAt_, now)) : 0.0;
}

qint64 ImportProgressModel::toCount(double value) {
    if (!std::isfinite(value) || value <= 0)
        return 0;
    return qint64(std::min(value, kLargestCount));
}

std::optional<ImportProgress> ImportProgressModel::apply(const SyncMetrics::Values& values,
                                                         const ImportProgress& current,
                                                         TimePoint now) {
    if (values.isEmpty())
        return std::nullopt;
    const auto count = [&values](const char* name) {
        return toCount(values.value(QString::fromLatin1(name), 0));
    };
    ImportProgress next;
    next.scanned = count("juicefs_sync_scanned");
    next.handled = count("juicefs_sync_handled");
    next.copied = count("juicefs_sync_copied");
    next.failed = count("juicefs_sync_failed");
    next.copiedBytes = count("juicefs_sync_copied_bytes");
    const qint64 pending = count("juicefs_sync_pending");
    next.scanning = next.scanned > next.handled && pending >= 1;

    next.rate = current.rate;
    if (lastSampleAt_) {
        const double elapsed = secondsBetween(*lastSampleAt_, now);
        if (elapsed > kMinSampleSeconds) {
            const double instant =
                double(std::max<qint64>(next.copiedBytes - lastBytes_, 0)) / elapsed;
            next.rate = current.rate == 0 ? instant
                                          : kNewWeight * instant + (1 - kNewWeight) * current.rate;
            lastBytes_ = next.copiedBytes;
            lastSampleAt_ = now;
        }
    }
    if (next.handled >= kMinHandledForEta && startedAt_ && next.scanned > next.handled)
        next.eta = elapsedSeconds(now) / double(next.handled) * double(next.scanned - next.handled);
    return next;
}
