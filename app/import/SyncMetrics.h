#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

// The counters a `juicefs sync` serves on its metrics address, read from the Prometheus text:
// only labelled juicefs_sync_* lines count (name before the first "{", value after the last
// blank); a later line of the same name wins; comments, unlabelled lines, other families and
// lines whose value is not a number are passed over.
namespace SyncMetrics {

using Values = QHash<QString, double>;

// Nothing when the body is not UTF-8 (the sample is then skipped).
std::optional<Values> parse(const QByteArray& body);

} // namespace SyncMetrics
