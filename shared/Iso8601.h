#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Internet date-time text without fractional seconds, as the ledger stores dates.
namespace Iso8601 {

// "2024-05-01T12:00:00Z": always UTC, sub-second part dropped.
QString format(const QDateTime& time);
// Accepts "Z" or a "+hh:mm" / "-hh:mm" offset; nothing for any other text, and nothing when
// the time in UTC falls outside the years 1 to 9999 that format() writes.
std::optional<QDateTime> parse(const QString& text);

} // namespace Iso8601
