#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <optional>

// Dates as the files API and the listing cache write them, read and written without the
// general date machinery: a folder of 200,000 entries holds as many dates.
namespace DateText {

// Milliseconds since 1970 of an internet date-time: "2024-05-01T10:20:30Z", with an optional
// fraction of any length (kept to the millisecond) and "Z" or a "+hh:mm"/"+hhmm" offset.
// Nothing for any other text or an impossible date.
std::optional<qint64> parse(QStringView text);
std::optional<qint64> parse(QByteArrayView text);
// "2024-05-01T10:20:30Z": UTC, whole seconds (the fraction is dropped, as by truncation
// toward the past).
void appendSeconds(QByteArray& out, qint64 msecsSinceEpoch);

} // namespace DateText
